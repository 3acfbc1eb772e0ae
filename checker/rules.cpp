#include "rules.h"

#include <cctype>

#include "text_encoding.h"

namespace {

const Refusal kValueTooLong = {"is longer than 511 characters", "enter a shorter value"};
const Refusal kValueEmpty = {"is empty", "enter a value"};
const Refusal kValueBlankAtEnd = {"must not begin or end with a blank", "enter it again"};
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

// As stored, so a text the "A" read changed never passes for another.
bool HoldsDesired(const SettingValue& value, const std::wstring& desired) {
    return value.type == REG_SZ && StoredString(value.stored) == desired;
}

const Refusal* StorableValueRefusal(const AnsiText& value) {
    if (value.size() > kMaxValueLength) return &kValueTooLong;
    if (!IsStorableText(value)) return &kValueNotStorable;
    return nullptr;
}

}  // namespace

// Texts that read alike match only when the stored values do.
bool SuffixesMatch(const SettingValue values[kSettingCount]) {
    const SettingValue& server = values[kLdapSuffix];
    const SettingValue& client = values[kDnSuffix];
    if (server.type != REG_SZ || client.type != REG_SZ || server.text != client.text) return false;
    return (server.representable && client.representable) || server.stored == client.stored;
}

bool HoldsText(const SettingValue& value, const AnsiText& text) {
    return value.type == REG_SZ && value.representable && value.text == text;
}

std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount],
                                  const std::wstring* desiredSuffix) {
    std::vector<RuleCheck> checks;
    for (SettingId flag : {kLoginAuth, kCrAuth}) {
        const bool holds = HoldsText(values[flag], kExpectedValue);
        const std::string problem =
            kSettings[flag].valueName + std::string(" is not ") + kExpectedValue;
        checks.push_back({Rule::kOne, {flag}, holds, holds ? "" : problem, {}});
        if (!holds) checks.back().failing = {flag};
    }
    RuleCheck two = {Rule::kTwo, {kLdapSuffix, kDnSuffix}, SuffixesMatch(values), "", {}};
    if (!two.holds) {
        two.problem = "LdapSuffix and DNSuffix differ";
        two.failing = two.settings;
    }
    if (desiredSuffix != nullptr) {
        two.failing.clear();
        for (SettingId setting : two.settings) {
            if (!HoldsDesired(values[setting], *desiredSuffix)) two.failing.push_back(setting);
        }
        if (two.holds && !two.failing.empty())
            two.problem = "LdapSuffix and DNSuffix do not hold the suffix given";
        two.holds = two.failing.empty();
    }
    checks.push_back(two);
    return checks;
}

void FindPasses(const std::vector<RuleCheck>& checks, bool passes[kSettingCount]) {
    for (const RuleCheck& check : checks) {
        for (SettingId setting : check.settings) passes[setting] = true;
        for (SettingId setting : check.failing) passes[setting] = false;
    }
}

AnsiText RefusalLine(const Refusal& refusal) {
    return std::string(kErrorPrefix) + "value " + refusal.reason + ", please " + refusal.request;
}

const Refusal* ValueRefusal(const AnsiText& value) {
    for (char c : value) {
        if (std::isspace(static_cast<unsigned char>(c))) return &kValueNotOneWord;
    }
    return StorableValueRefusal(value);
}

const Refusal* TypedValueRefusal(const std::wstring& typed, AnsiText* ansi) {
    *ansi = AnsiForScreen(typed);
    if (typed.empty()) return &kValueEmpty;
    if (typed.front() == L' ' || typed.back() == L' ') return &kValueBlankAtEnd;
    if (WideFromAnsi(*ansi, true) != typed) return &kValueNotStorable;
    return StorableValueRefusal(*ansi);  // a tab or a line break is a control character
}
