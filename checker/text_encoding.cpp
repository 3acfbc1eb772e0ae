#include "text_encoding.h"

namespace {

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

}  // namespace

std::wstring WideFromAnsi(const AnsiText& text, bool strict) {
    return WideFrom(CP_ACP, strict ? MB_ERR_INVALID_CHARS : 0, text);
}

AnsiText AnsiFromWide(const std::wstring& wide) { return WideTo(CP_ACP, 0, wide, nullptr); }

AnsiText AnsiForScreen(const std::wstring& wide) {
    return WideTo(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, "?");
}

AnsiText ScreenText(const Utf8Text& text) { return AnsiForScreen(WideFromUtf8(text)); }

Utf8Text Utf8FromWide(const std::wstring& text) { return WideTo(CP_UTF8, 0, text, nullptr); }

std::wstring WideFromUtf8(const Utf8Text& text) { return WideFrom(CP_UTF8, 0, text); }

Utf8Text Utf8FromAnsi(const AnsiText& text) { return Utf8FromWide(WideFromAnsi(text)); }
