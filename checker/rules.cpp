#include "rules.h"

#include <cctype>

#include "text_encoding.h"

namespace {

const Refusal kValueTooLong = {"is longer than 511 characters", "enter a shorter value"};
static_assert(kMaxValueLength == 511, "the refusal names the longest value");

// An "A" write converts the text to Unicode: a control character, a NUL or a
// lone lead byte would cut or change it, and a best-fit one would differ on the way back.
bool IsStorableText(const std::string& text) {
    for (char c : text) {
        if (static_cast<BYTE>(c) < 0x20 || c == 0x7F) return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && ++i == text.size()) return false;
    }
    return AnsiFromWide(WideFromAnsi(text, true)) == text;
}

// Texts that read alike match only when the stored values do.
bool SuffixesMatch(const SettingValue& server, const SettingValue& client) {
    if (server.type != REG_SZ || client.type != REG_SZ || server.text != client.text) return false;
    return (server.representable && client.representable) || server.stored == client.stored;
}

}  // namespace

bool HoldsText(const SettingValue& value, const AnsiText& text) {
    return value.type == REG_SZ && value.representable && value.text == text;
}

std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]) {
    std::vector<RuleCheck> checks;
    for (SettingId flag : {kLoginAuth, kCrAuth}) {
        const bool holds = HoldsText(values[flag], kExpectedValue);
        const std::string problem =
            kSettings[flag].valueName + std::string(" is not ") + kExpectedValue;
        checks.push_back({Rule::kOne, {flag}, holds, holds ? "" : problem});
    }
    const bool match = SuffixesMatch(values[kLdapSuffix], values[kDnSuffix]);
    const char* problem = match ? "" : "LdapSuffix and DNSuffix differ";
    checks.push_back({Rule::kTwo, {kLdapSuffix, kDnSuffix}, match, problem});
    return checks;
}

void FindPasses(const std::vector<RuleCheck>& checks, bool passes[kSettingCount]) {
    for (const RuleCheck& check : checks) {
        for (SettingId setting : check.settings) passes[setting] = check.holds;
    }
}

AnsiText RefusalLine(const Refusal& refusal) {
    return std::string(kErrorPrefix) + "value " + refusal.reason + ", please " + refusal.request;
}

const Refusal* ValueRefusal(const AnsiText& value) {
    for (char c : value) {
        if (std::isspace(static_cast<unsigned char>(c))) return &kValueNotOneWord;
    }
    if (value.size() > kMaxValueLength) return &kValueTooLong;
    if (!IsStorableText(value)) return &kValueNotStorable;
    return nullptr;
}

const Refusal* TypedValueRefusal(const std::wstring& typed, AnsiText* ansi) {
    *ansi = AnsiForScreen(typed);
    if (WideFromAnsi(*ansi, true) != typed) return &kValueNotStorable;
    return ValueRefusal(*ansi);
}
