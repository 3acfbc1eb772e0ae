// Values and names as the tool shows them: on one line, bounded, marked where
// they are not what they seem.
#pragma once

#include <string>
#include <vector>

#include "stored_value.h"

// ANSI text with its control characters but the tab as <0D>, <7F>, <9D>...: C0,
// DEL and C1 alike (a terminal reads U+009B as CSI and U+009D as OSC), never
// a byte of a double-byte character.
AnsiText OnOneLine(const AnsiText& text);
Utf8Text Utf8OnOneLine(const Utf8Text& text);  // the same for UTF-8 text

// At most 100 bytes and then "...", never cut inside a double-byte character
// or a <XX> escape: fleet output stays bounded.
AnsiText Shortened(const AnsiText& text);

std::string Joined(const std::vector<std::string>& parts, const char* separator);

// C1 controls escaped too (a CSI starts an escape sequence), cut after 100.
Utf8Text ShownName(const std::wstring& name);

// On one line, so a value cannot forge a "RESULT:" line above the real one; a
// REG_DWORD as the number it holds, as the log and the document give it.
AnsiText ShownValue(const SettingValue& value, bool shortened = false);
