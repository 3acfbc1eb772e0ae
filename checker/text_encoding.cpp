#include "text_encoding.h"

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
