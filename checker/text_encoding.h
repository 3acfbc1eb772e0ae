// Conversions between the ANSI code page the tool's texts are in, the UTF-16
// the registry stores, and the UTF-8 of the audit log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// `text` in UTF-16. With `strict`, false for bytes that are not text in the
// ANSI code page (a lone lead byte, an unassigned byte) instead of a stand-in.
bool WideFromAnsi(const std::string& text, std::wstring* wide, bool strict = false);
std::wstring WideFromAnsi(const std::string& text);

// `wide` in the ANSI code page, best-fit as the registry's "A" reads convert.
std::string AnsiFromWide(const std::wstring& wide);

std::string Utf8FromWide(const wchar_t* text, size_t length);

// Text in the process's ANSI code page as UTF-8.
std::string Utf8FromAnsi(const std::string& text);

// Registry string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as the UTF-16
// units it holds, NULs included; an odd last byte is no unit and is left out.
std::wstring WideFromStored(const std::vector<BYTE>& data);

// `wide` up to its first NUL, as an "A" read of string data cuts it.
std::wstring UpToFirstNul(const std::wstring& wide);

// A stored value as the log shows it: string types as their UTF-16 text up
// to the first NUL, a four-byte REG_DWORD in decimal, anything else as
// hex:xx,xx (REG_BINARY) or hex(N):xx,xx, as a .reg file writes it.
std::string Utf8FromStored(DWORD type, const std::vector<BYTE>& data);
