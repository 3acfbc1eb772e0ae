// Conversions between the ANSI code page the tool's texts are in, the UTF-16
// the registry stores, and the UTF-8 of the audit log.
#pragma once

#include <windows.h>

#include <string>

// `text` in UTF-16. With `strict`, false for bytes that are not text in the
// ANSI code page (a lone lead byte, an unassigned byte) instead of a stand-in.
bool WideFromAnsi(const std::string& text, std::wstring* wide, bool strict = false);
std::wstring WideFromAnsi(const std::string& text);

// `wide` in the ANSI code page, best-fit as the registry's "A" reads convert.
std::string AnsiFromWide(const std::wstring& wide);

std::string Utf8FromWide(const wchar_t* text, size_t length);
