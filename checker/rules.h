// The two rules: values in, checks out. And a value typed (or given as /suffix:)
// is written only as one word, short enough to read back, stored exactly as typed.
#pragma once

#include <string>
#include <vector>

#include "settings_store.h"

inline constexpr char kExpectedValue[] = "Yes";  // what Rule One requires
inline constexpr char kErrorPrefix[] = "ERROR - ";

enum class Rule { kOne, kTwo };  // each flag "Yes"; the two suffixes alike

// Rule One on one flag, or Rule Two on the two suffixes.
struct RuleCheck {
    Rule rule;
    std::vector<SettingId> settings;  // the values it judges, which a repair writes
    bool holds;
    Utf8Text problem;                // for the RESULT line; empty when it holds
    std::vector<SettingId> failing;  // of `settings`, those that do not hold what it wants
};

// One check for each flag, then Rule Two's. Given a desired suffix, Rule Two
// holds only where both values hold it, as stored.
std::vector<RuleCheck> CheckRules(const SettingValue values[kSettingCount],
                                  const std::wstring* desiredSuffix = nullptr);

// Whether the two suffixes agree, whatever on.
bool SuffixesMatch(const SettingValue values[kSettingCount]);

// Each value passes the check it takes part in.
void FindPasses(const std::vector<RuleCheck>& checks, bool passes[kSettingCount]);

// Only REG_SZ data reads as text, and a text that is not the stored value never holds.
bool HoldsText(const SettingValue& value, const AnsiText& text);

struct Refusal {
    const char* reason;
    const char* request;
};
inline constexpr Refusal kValueNotOneWord = {"must be one word without blanks", "enter it again"};
inline constexpr Refusal kValueNotStorable = {"holds characters that cannot be stored",
                                              "enter another value"};

AnsiText RefusalLine(const Refusal& refusal);

const Refusal* ValueRefusal(const AnsiText& value);  // null when `value` may be written

// A value given as Unicode (a /suffix: argument, a desired state's suffix), in
// the ANSI code page in `ansi`; null when it may be written. A character the
// code page cannot hold exactly gets no stand-in: the value is refused. Given
// whole, it may hold blanks ("dc=example, dc=com"), but not begin or end with one.
const Refusal* TypedValueRefusal(const std::wstring& typed, AnsiText* ansi);
