#include "text_encoding.h"

#include <cstdio>
#include <cwchar>

#include "texts.h"

bool WideFromAnsi(const std::string& text, std::wstring* wide, bool strict) {
    wide->clear();
    if (text.empty()) return true;
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, flags, text.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
    wide->resize(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_ACP, flags, text.data(), length, &(*wide)[0], wideLength);
    return true;
}

std::wstring WideFromAnsi(const std::string& text) {
    std::wstring wide;
    WideFromAnsi(text, &wide);
    return wide;
}

std::string AnsiFromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &text[0], size, nullptr, nullptr);
    return text;
}

std::string AnsiForScreen(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, "?", nullptr);
    if (size <= 0) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, &text[0], size, "?", nullptr);
    return text;
}

std::string ScreenText(const std::string& utf8) { return AnsiForScreen(WideFromUtf8(utf8)); }

std::string Utf8FromWide(const std::wstring& text) {
    return Utf8FromWide(text.data(), text.size());
}

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &wide[0], size);
    return wide;
}

std::string OnOneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "<%02X>", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Shortened(const std::string& text, size_t longest) {
    if (text.size() <= longest) return text;
    size_t end = 0;
    while (end < longest) {
        size_t next = end + 1;
        if (IsDBCSLeadByte(static_cast<BYTE>(text[end]))) {
            next = end + 2;
        } else if (text[end] == '<' && end + 3 < text.size() && text[end + 3] == '>') {
            next = end + 4;
        }
        if (next > longest) break;
        end = next;
    }
    return text.substr(0, end) + kShortened;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
    if (length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], size, nullptr,
                        nullptr);
    return utf8;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i > 0 ? separator : "") + parts[i];
    return joined;
}

std::string Utf8FromAnsi(const std::string& text) {
    const std::wstring wide = WideFromAnsi(text);
    return Utf8FromWide(wide.data(), wide.size());
}

std::wstring WideFromStored(const std::vector<BYTE>& data) {
    std::wstring wide;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wide += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return wide;
}

std::wstring UpToFirstNul(const std::wstring& wide) { return wide.substr(0, wide.find(L'\0')); }

unsigned long DwordOf(const std::vector<BYTE>& data) {
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned long>(data[3]) << 24);
}

std::string HexText(DWORD type, const std::vector<BYTE>& data) {
    char tag[24];
    if (type == REG_BINARY) {
        std::snprintf(tag, sizeof tag, "hex:");
    } else {
        std::snprintf(tag, sizeof tag, "hex(%lx):", static_cast<unsigned long>(type));
    }
    std::string out = tag;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i + 1 < data.size() ? "%02x," : "%02x", data[i]);
        out += byte;
    }
    return out;
}

std::string Utf8FromStored(DWORD type, const std::vector<BYTE>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const std::wstring text = UpToFirstNul(WideFromStored(data));
        return Utf8FromWide(text.data(), text.size());
    }
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) return std::to_string(DwordOf(data));
    return HexText(type, data);
}

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_QWORD:
            return "REG_QWORD";
        default:
            return "REG_" + std::to_string(type);
    }
}

std::string ShownName(const std::wstring& name) {
    std::wstring shown;
    size_t i = 0;
    for (; i < name.size() && shown.size() < kLongestShown; ++i) {
        const wchar_t c = name[i];
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            wchar_t escaped[8];
            std::swprintf(escaped, 8, L"<%02X>", static_cast<unsigned>(c));
            shown += escaped;
        } else {
            shown += c;
            // The two halves of a character beyond the first plane stay together.
            if (IS_HIGH_SURROGATE(c) && i + 1 < name.size()) shown += name[++i];
        }
    }
    return Utf8FromWide(shown) + (i < name.size() ? kShortened : "");
}
