// The two rules on the four values as read: values in, checks out. And the
// rule on a value typed (or given as /suffix:): it is written only as one word,
// short enough for a later read, in text the registry stores exactly as typed.
#pragma once

#include <string>
#include <vector>

#include "settings_store.h"

inline constexpr char kExpectedValue[] = "Yes";  // what Rule One requires
inline constexpr char kErrorPrefix[] = "ERROR - ";

// Rule One on one of the two flags, or Rule Two on the two suffixes (named by
// kLdapSuffix, compared with kDnSuffix).
struct RuleCheck {
    SettingId setting;
    bool holds;
    std::string problem;           // for the RESULT line; empty when it holds
    std::vector<SettingId> mends;  // the values a repair writes; none when it holds
    std::string repairText;        // "Yes" for Rule One; Rule Two's comes from the operator
};

// In the order the runs report them.
std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount]);

struct Refusal {
    const char* reason;
    const char* request;
};
inline constexpr Refusal kValueNotOneWord = {"must be one word without blanks", "enter it again"};
inline constexpr Refusal kValueNotStorable = {"holds characters that cannot be stored",
                                              "enter another value"};

std::string RefusalLine(const Refusal& refusal);

// Null when `value` may be written.
const Refusal* ValueRefusal(const std::string& value);
