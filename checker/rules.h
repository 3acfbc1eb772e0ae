// The two rules on the four values as read: values in, checks out.
#pragma once

#include <string>
#include <vector>

#include "settings_store.h"

// Rule One on one of the two flags, or Rule Two on the two suffixes (named by
// kLdapSuffix, compared with kDnSuffix).
struct RuleCheck {
    SettingId setting;
    bool holds;
    std::string problem;           // for the RESULT line; empty when it holds
    std::vector<SettingId> mends;  // the values a repair writes; none when it holds
    std::string repairText;        // "Yes" for Rule One; Rule Two's comes from the operator
};

// Rule One on each flag, then Rule Two: the order the runs report them.
std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]);
