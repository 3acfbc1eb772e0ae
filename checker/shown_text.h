// Values and names as the tool shows them: on one line, bounded where a text
// output needs it, marked where they are not what they seem.
#pragma once

#include <string>
#include <vector>

#include "stored_value.h"

// The one escaper of what would break a line or take a terminal over: C0
// controls but the tab, DEL, C1 (a terminal reads U+009B as CSI and U+009D as
// OSC) and the Unicode line and paragraph separators, each as <0D>, <7F>,
// <9D>, <2028>.
std::wstring WideOnOneLine(const std::wstring& text);
Utf8Text Utf8OnOneLine(const Utf8Text& text);
// The same for ANSI text, byte by byte, never splitting a double-byte character:
// data of another type than a string comes through the "A" read as it is stored.
AnsiText OnOneLine(const AnsiText& text);

// At most 100 bytes and then "...", never cut inside a double-byte character
// or a <XX> escape: fleet output stays bounded.
AnsiText Shortened(const AnsiText& text);

std::string Joined(const std::vector<std::string>& parts, const char* separator);

// A file or other name on one line, whole: the log, the documents and the DSC
// resource name the file a run wrote as it is.
Utf8Text ShownName(const std::wstring& name);
// Cut after 260 characters (MAX_PATH) or `longest`, for a text output's line
// and the reasons it shares with the document: the text output stays under 2,048.
Utf8Text ScreenName(const std::wstring& name, size_t longest = 260);

// On one line, so a value cannot forge a "RESULT:" line above the real one; a
// REG_DWORD as the number it holds, as the log and the document give it.
AnsiText ShownValue(const SettingValue& value, bool shortened = false);

// In double quotes, a quote or a backslash in it escaped with a backslash, as
// .reg files and the log quote values: no value can close the quotes and
// forge the rest of a line.
template <typename Text>
Text Quoted(const Text& text) {
    Text quoted(1, '"');
    for (auto c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + Text(1, '"');
}
