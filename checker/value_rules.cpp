#include "value_rules.h"

#include <windows.h>

#include <cctype>

#include "settings_store.h"
#include "text_encoding.h"

std::string RefusalLine(const Refusal& refusal) {
    return std::string(kErrorPrefix) + "value " + refusal.reason + ", please " + refusal.request;
}

const Refusal* ValueRefusal(const std::string& value) {
    for (char c : value) {
        if (std::isspace(static_cast<unsigned char>(c))) return &kValueNotOneWord;
    }
    if (value.size() > kMaxValueLength) return &kValueTooLong;
    if (!IsStorableText(value)) return &kValueNotStorable;
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
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && ++i == text.size()) return false;
    }
    std::wstring wide;
    if (!WideFromAnsi(text, &wide, true)) return false;
    // The way back is the one a later read takes; a best-fit character shows
    // up as a difference.
    return AnsiFromWide(wide) == text;
}
