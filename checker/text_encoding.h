// The encodings the tool's texts travel in: the ANSI code page of its messages
// and of the registry's "A" calls, the UTF-16 the registry stores and the "W"
// calls take, and the UTF-8 of the log and the documents.
#pragma once

#include <windows.h>

#include <string>

using AnsiText = std::string;  // in the ANSI code page
using Utf8Text = std::string;

// With `strict`, empty for bytes that are no ANSI text instead of a stand-in.
std::wstring WideFromAnsi(const AnsiText& text, bool strict = false);

AnsiText AnsiFromWide(const std::wstring& wide);  // best fit, as the "A" reads convert

// Without best fit: a character the code page cannot hold shows as "?", never
// as a look-alike (a full-width letter would name another file).
AnsiText AnsiForScreen(const std::wstring& wide);
AnsiText ScreenText(const Utf8Text& text);

Utf8Text Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const Utf8Text& text);
Utf8Text Utf8FromAnsi(const AnsiText& text);
