#include "rules.h"

#include "texts.h"

namespace {

// A program reading the values as strings sees only REG_SZ data as text: a
// DWORD or binary value whose bytes spell "Yes" is not "Yes" to it. And a
// text that is not the stored value never passes, however it reads.
bool RuleOneHolds(const SettingValue& value) {
    return value.type == REG_SZ && value.representable && value.text == kExpectedValue;
}

// Two texts that read alike but are not the stored values are equal only when
// the stored values are.
bool SuffixesMatch(const SettingValue& serverSuffix, const SettingValue& clientSuffix) {
    if (serverSuffix.type != REG_SZ || clientSuffix.type != REG_SZ) return false;
    if (serverSuffix.text != clientSuffix.text) return false;
    if (serverSuffix.representable && clientSuffix.representable) return true;
    return serverSuffix.type == clientSuffix.type && serverSuffix.stored == clientSuffix.stored;
}

}  // namespace

std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]) {
    std::vector<RuleCheck> checks;
    for (SettingId flag : {kLoginAuth, kCrAuth}) {
        RuleCheck check = {flag, RuleOneHolds(values[flag]), "", {}, ""};
        if (!check.holds) {
            check.problem = std::string(kSettings[flag].valueName) + kIsNot + kExpectedValue;
            check.mends = {flag};
            check.repairText = kExpectedValue;
        }
        checks.push_back(check);
    }
    RuleCheck suffixes = {
        kLdapSuffix, SuffixesMatch(values[kLdapSuffix], values[kDnSuffix]), "", {}, ""};
    if (!suffixes.holds) {
        suffixes.problem = kRuleTwoProblem;
        suffixes.mends = {kLdapSuffix, kDnSuffix};
    }
    checks.push_back(suffixes);
    return checks;
}

void ValuesPassing(const std::vector<RuleCheck>& checks, bool passes[kSettingCount]) {
    for (const RuleCheck& check : checks) {
        passes[check.setting] = check.holds;
        if (check.setting == kLdapSuffix) passes[kDnSuffix] = check.holds;
    }
}
