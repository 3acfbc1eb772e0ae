// The lines a run prints about its checks and writes.
#pragma once

#include <string>

#include "rules.h"
#include "run_context.h"
#include "settings_store.h"

// The "Check OK - " line of a check that holds (verbose and unattended runs
// only), or the "CORRECTION NEEDED - " lines of one that does not.
void ShowCheck(const RunContext& context, const RuleCheck& check,
               const SettingValue values[kSettingCount]);

// "key = value name = text", as the WRITING and WHATIF lines name a write.
std::string NamedWrite(SettingId setting, const std::string& text);
