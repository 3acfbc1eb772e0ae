#include "value_rules.h"

#include <windows.h>

#include <cctype>

#include "settings_store.h"
#include "text_encoding.h"
#include "texts.h"

namespace {

const Refusal kValueTooLong = {"is longer than 511 characters", "enter a shorter value"};
static_assert(kMaxValueLength == 511, "the refusal names the longest value");

// The registry keeps Unicode: an "A" write converts the text from the ANSI
// code page, where a control character, a NUL or a lone lead byte would cut or
// change it, and a best-fit character shows up as a difference on the way back.
bool IsStorableText(const std::string& text) {
    for (char c : text) {
        if (static_cast<BYTE>(c) < 0x20 || c == 0x7F) return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && ++i == text.size()) return false;
    }
    std::wstring wide;
    return WideFromAnsi(text, &wide, true) && AnsiFromWide(wide) == text;
}

}  // namespace

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
