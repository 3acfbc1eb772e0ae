#include "shown_text.h"

#include <cstdio>

namespace {

const char kShortened[] = "...";
const size_t kLongestShown = 100;

bool IsControl(wchar_t c) {
    return (c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::string Escaped(wchar_t control) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "<%02X>", static_cast<unsigned>(control));
    return escaped;
}

}  // namespace

AnsiText OnOneLine(const AnsiText& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const BYTE byte = static_cast<BYTE>(text[i]);
        wchar_t character = byte;
        if (IsDBCSLeadByte(byte) && i + 1 < text.size()) {
            out += text.substr(i++, 2);
            continue;
        }
        if (byte >= 0x80) MultiByteToWideChar(CP_ACP, 0, &text[i], 1, &character, 1);
        if (IsControl(character)) {
            out += Escaped(character);
        } else {
            out += text[i];
        }
    }
    return out;
}

std::wstring WideOnOneLine(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) out += IsControl(c) ? WideFromAnsi(Escaped(c)) : std::wstring(1, c);
    return out;
}

Utf8Text Utf8OnOneLine(const Utf8Text& text) {
    return Utf8FromWide(WideOnOneLine(WideFromUtf8(text)));
}

AnsiText Shortened(const AnsiText& text) {
    if (text.size() <= kLongestShown) return text;
    size_t end = 0;
    while (end < kLongestShown) {
        size_t next = end + 1;
        if (IsDBCSLeadByte(static_cast<BYTE>(text[end]))) {
            next = end + 2;
        } else if (text[end] == '<' && end + 3 < text.size() && text[end + 3] == '>') {
            next = end + 4;
        }
        if (next > kLongestShown) break;
        end = next;
    }
    return text.substr(0, end) + kShortened;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i > 0 ? separator : "") + parts[i];
    return joined;
}

// A tab is a control character in a name, where nobody types one.
Utf8Text ShownName(const std::wstring& name) {
    std::wstring shown;
    for (wchar_t c : name) shown += c == L'\t' ? WideFromAnsi(Escaped(c)) : std::wstring(1, c);
    return Utf8FromWide(WideOnOneLine(shown));
}

Utf8Text ScreenName(const std::wstring& name, size_t longest) {
    if (name.size() <= longest) return ShownName(name);
    size_t end = longest;
    // The two halves of a character beyond the first plane stay together.
    if (IS_LOW_SURROGATE(name[end])) --end;
    return ShownName(name.substr(0, end)) + kShortened;
}

AnsiText ShownValue(const SettingValue& value, bool shortened) {
    const bool number = value.type == REG_DWORD && value.stored.size() == sizeof(DWORD);
    const std::string oneLine =
        OnOneLine(number ? std::to_string(DwordOf(value.stored)) : value.text);
    std::string shown = shortened ? Shortened(oneLine) : oneLine;
    if (!value.representable) shown += " [not representable in this code page]";
    // Data of another type never passes a rule: the line says why.
    if (value.type != REG_SZ && !value.stored.empty()) shown += " (" + TypeName(value.type) + ")";
    return shown;
}
