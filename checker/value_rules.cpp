#include "value_rules.h"

#include <windows.h>

#include <cctype>
#include <vector>

const char* const kValueNotOneWord =
    "ERROR - value must be one word without blanks, please enter it again";
const char* const kValueTooLong =
    "ERROR - value is longer than 511 characters, please enter a shorter value";
const char* const kValueNotStorable =
    "ERROR - value holds characters that cannot be stored, please enter another value";

const char* ValueRefusal(const std::string& value) {
    for (char c : value) {
        if (std::isspace(static_cast<unsigned char>(c))) return kValueNotOneWord;
    }
    if (value.size() > kMaxValueLength) return kValueTooLong;
    if (!IsStorableText(value)) return kValueNotStorable;
    return nullptr;
}

// The registry keeps Unicode: an "A" write converts the text from the ANSI
// code page, and a NUL or a lone lead byte there cuts or swallows the rest, so
// the stored value would not be the one the operator confirmed.
bool IsStorableText(const std::string& text) {
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
    }
    if (text.empty()) return true;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && ++i == text.size()) return false;
    }
    const int length = static_cast<int>(text.size());
    int wideLength =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(wideLength);
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                        wideLength);
    // The way back is the one a later read takes; a best-fit character shows
    // up as a difference.
    int backLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string back(backLength, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, &back[0], backLength, nullptr,
                        nullptr);
    return back == text;
}
