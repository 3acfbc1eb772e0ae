#include "rules.h"

#include "texts.h"

namespace {

// A program reading the values as strings sees only REG_SZ data as text, and
// a text that is not the stored value never passes, however it reads.
bool RuleOneHolds(const SettingValue& value) {
    return value.type == REG_SZ && value.representable && value.text == kExpectedValue;
}

// Texts that read alike but are not the stored values match only when the
// stored values do.
bool SuffixesMatch(const SettingValue& server, const SettingValue& client) {
    if (server.type != REG_SZ || client.type != REG_SZ || server.text != client.text) return false;
    return (server.representable && client.representable) || server.stored == client.stored;
}

}  // namespace

std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]) {
    std::vector<RuleCheck> checks;
    for (SettingId flag : {kLoginAuth, kCrAuth}) {
        if (RuleOneHolds(values[flag])) {
            checks.push_back({flag, true, "", {}, ""});
        } else {
            const std::string problem =
                kSettings[flag].valueName + std::string(" is not ") + kExpectedValue;
            checks.push_back({flag, false, problem, {flag}, kExpectedValue});
        }
    }
    if (SuffixesMatch(values[kLdapSuffix], values[kDnSuffix])) {
        checks.push_back({kLdapSuffix, true, "", {}, ""});
    } else {
        checks.push_back(
            {kLdapSuffix, false, "LdapSuffix and DNSuffix differ", {kLdapSuffix, kDnSuffix}, ""});
    }
    return checks;
}
