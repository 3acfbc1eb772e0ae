// The ANSI code page of the tool's texts, the UTF-16 the registry stores, the
// UTF-8 of the log; and the bounded, one-line form of values and names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// With `strict`, empty for bytes that are no ANSI text instead of a stand-in.
std::wstring WideFromAnsi(const std::string& text, bool strict = false);

std::string AnsiFromWide(const std::wstring& wide);  // best fit, as the "A" reads convert

// Without best fit: a character the code page cannot hold shows as "?", never
// as a look-alike (a full-width letter would name another file).
std::string AnsiForScreen(const std::wstring& wide);
std::string ScreenText(const std::string& utf8);

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromAnsi(const std::string& text);

// ANSI text with its control characters but the tab as <0D>, <7F>, <9D>...: C0,
// DEL and C1 alike (a terminal reads U+009B as CSI and U+009D as OSC), never
// a byte of a double-byte character.
std::string OnOneLine(const std::string& text);
std::string Utf8OnOneLine(const std::string& utf8);  // the same for UTF-8 text

// At most 100 bytes and then "...", never cut inside a double-byte character
// or a <XX> escape: fleet output stays bounded.
std::string Shortened(const std::string& text);

std::string Joined(const std::vector<std::string>& parts, const char* separator);

// UTF-8, C1 controls escaped too (a CSI starts an escape sequence), cut after 100.
std::string ShownName(const std::wstring& name);

std::string TypeName(DWORD type);

bool IsStringType(DWORD type);

// NULs included; an odd last byte is no unit.
std::wstring WideFromStored(const std::vector<BYTE>& data);

// Up to the first NUL, as an "A" read cuts it.
std::wstring StoredString(const std::vector<BYTE>& data);

unsigned long DwordOf(const std::vector<BYTE>& data);

std::string HexText(DWORD type, const std::vector<BYTE>& data);  // as a .reg file writes it

// As the log shows a stored value: a four-byte REG_DWORD in decimal.
std::string Utf8FromStored(DWORD type, const std::vector<BYTE>& data);
