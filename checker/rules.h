// The two rules on the four values as read: values in, checks out, nothing
// printed or written.
#pragma once

#include <string>
#include <vector>

#include "settings_store.h"

// One check of a rule: Rule One on one of the two flags, or Rule Two on the
// two suffixes (named by kLdapSuffix, compared with kDnSuffix).
struct RuleCheck {
    SettingId setting;
    bool holds;
    std::string problem;           // what is wrong, for the RESULT line; empty when it holds
    std::vector<SettingId> mends;  // the values a repair writes; none when it holds
    std::string repairText;        // what Rule One writes there ("Yes"); empty for Rule Two,
                                   // whose value only the operator or /suffix: gives
};

// The rules on `values`, in the order the runs report them: Rule One on each
// flag, then Rule Two.
std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]);

// Whether each value passes the check it takes part in.
void ValuesPassing(const std::vector<RuleCheck>& checks, bool passes[kSettingCount]);
