#include "text_encoding.h"

#include <cstdio>
#include <cwchar>

namespace {

const char kShortened[] = "...";
const size_t kLongestShown = 100;

// Empty for bytes that are no text under `flags`.
std::wstring WideFrom(UINT codePage, DWORD flags, const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int size =
        length == 0 ? 0 : MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], size);
    return wide;
}

// `standIn` null: the code page's own, or best fit unless `flags` forbid it.
std::string WideTo(UINT codePage, DWORD flags, const std::wstring& text, const char* standIn) {
    if (text.empty()) return std::string();
    const int count = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(codePage, flags, text.data(), count, nullptr, 0, standIn, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), count, &out[0], size, standIn, nullptr);
    return out;
}

bool IsControl(wchar_t c) { return (c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F); }

std::string Escaped(wchar_t control) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "<%02X>", static_cast<unsigned>(control));
    return escaped;
}

}  // namespace

std::wstring WideFromAnsi(const std::string& text, bool strict) {
    return WideFrom(CP_ACP, strict ? MB_ERR_INVALID_CHARS : 0, text);
}

std::string AnsiFromWide(const std::wstring& wide) { return WideTo(CP_ACP, 0, wide, nullptr); }

std::string AnsiForScreen(const std::wstring& wide) {
    return WideTo(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, "?");
}

std::string ScreenText(const std::string& utf8) { return AnsiForScreen(WideFromUtf8(utf8)); }

std::string Utf8FromWide(const std::wstring& text) { return WideTo(CP_UTF8, 0, text, nullptr); }

std::wstring WideFromUtf8(const std::string& utf8) { return WideFrom(CP_UTF8, 0, utf8); }

std::string Utf8FromAnsi(const std::string& text) { return Utf8FromWide(WideFromAnsi(text)); }

std::string OnOneLine(const std::string& text) {
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

std::string Utf8OnOneLine(const std::string& utf8) {
    std::wstring out;
    for (wchar_t c : WideFromUtf8(utf8))
        out += IsControl(c) ? WideFromAnsi(Escaped(c)) : std::wstring(1, c);
    return Utf8FromWide(out);
}

std::string Shortened(const std::string& text) {
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

std::string ShownName(const std::wstring& name) {
    std::wstring shown;
    size_t i = 0;
    for (; i < name.size() && shown.size() < kLongestShown; ++i) {
        const wchar_t c = name[i];
        if (c < 0x20 || IsControl(c)) {
            shown += WideFromAnsi(Escaped(c));
        } else {
            shown += c;
            // The two halves of a character beyond the first plane stay together.
            if (IS_HIGH_SURROGATE(c) && i + 1 < name.size()) shown += name[++i];
        }
    }
    return Utf8FromWide(shown) + (i < name.size() ? kShortened : "");
}

std::string TypeName(DWORD type) {
    const char* const kNames[] = {"REG_NONE",  "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                  "REG_DWORD", nullptr,  nullptr,         "REG_MULTI_SZ",
                                  nullptr,     nullptr,  nullptr,         "REG_QWORD"};
    if (type < sizeof kNames / sizeof kNames[0] && kNames[type] != nullptr) return kNames[type];
    return "REG_" + std::to_string(type);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::wstring WideFromStored(const std::vector<BYTE>& data) {
    std::wstring wide;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wide += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return wide;
}

std::wstring StoredString(const std::vector<BYTE>& data) {
    const std::wstring wide = WideFromStored(data);
    return wide.substr(0, wide.find(L'\0'));
}

unsigned long DwordOf(const std::vector<BYTE>& data) {
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned long>(data[3]) << 24);
}

std::string HexText(DWORD type, const std::vector<BYTE>& data) {
    char tag[24];
    std::snprintf(tag, sizeof tag, "hex(%lx):", static_cast<unsigned long>(type));
    std::string out = type == REG_BINARY ? "hex:" : tag;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i + 1 < data.size() ? "%02x," : "%02x", data[i]);
        out += byte;
    }
    return out;
}

std::string Utf8FromStored(DWORD type, const std::vector<BYTE>& data) {
    if (IsStringType(type)) return Utf8FromWide(StoredString(data));
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) return std::to_string(DwordOf(data));
    return HexText(type, data);
}
