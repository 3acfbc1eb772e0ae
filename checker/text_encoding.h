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

// `wide` in the ANSI code page for the screen, without best fit: a character
// the code page cannot hold shows as "?", never as a look-alike (a full-width
// letter as its ASCII twin would name another file).
std::string AnsiForScreen(const std::wstring& wide);
// UTF-8 text (the run's reasons, which may name a file) as the screen shows it.
std::string ScreenText(const std::string& utf8);

std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& utf8);

// `text` (ANSI or UTF-8) kept on one line: control characters but the tab,
// and DEL, as <0D>, <0A>, <7F>... Neither encoding uses those bytes inside a
// character.
std::string OnOneLine(const std::string& text);

// `text` cut to at most `longest` bytes and then "...", never inside a
// double-byte character or a <XX> escape; unchanged when it fits. What fleet
// output shows of a value or an argument, so a run's output stays bounded.
const size_t kLongestShown = 100;
std::string Shortened(const std::string& text, size_t longest = kLongestShown);

// The parts with `separator` between each two.
std::string Joined(const std::vector<std::string>& parts, const char* separator);

// A file name (or any text typed as an argument) as every line of output and
// the log show it, in UTF-8: control characters, C1 ones included (a CSI
// would start an escape sequence), as <1B>-style escapes, and cut after 100
// characters with "...". No name makes a line of its own or floods one.
std::string ShownName(const std::wstring& name);

// The name of a registry type: REG_SZ, REG_DWORD, ...; REG_<n> for others.
std::string TypeName(DWORD type);

// Text in the process's ANSI code page as UTF-8.
std::string Utf8FromAnsi(const std::string& text);

// Registry string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as the UTF-16
// units it holds, NULs included; an odd last byte is no unit and is left out.
std::wstring WideFromStored(const std::vector<BYTE>& data);

// `wide` up to its first NUL, as an "A" read of string data cuts it.
std::wstring UpToFirstNul(const std::wstring& wide);

// Four bytes of REG_DWORD data as the number they hold (little-endian).
unsigned long DwordOf(const std::vector<BYTE>& data);

// Data as hex:xx,xx (REG_BINARY) or hex(N):xx,xx, on one line, as a .reg
// file writes it before wrapping.
std::string HexText(DWORD type, const std::vector<BYTE>& data);

// A stored value as the log shows it: string types as their UTF-16 text up
// to the first NUL, a four-byte REG_DWORD in decimal, anything else as
// hex:xx,xx (REG_BINARY) or hex(N):xx,xx, as a .reg file writes it.
std::string Utf8FromStored(DWORD type, const std::vector<BYTE>& data);
