// The unattended run never reads standard input, shows no notice, and ends
// with one RESULT line whose exit code a fleet tool can act on.
#include "unattended_run.h"

#include "console.h"
#include "ldap_settings.h"
#include "rules.h"
#include "run_context.h"
#include "text_encoding.h"
#include "texts.h"

namespace {

struct PlannedWrite {
    SettingId setting;
    std::string text;
};

// The writes that mend the checks that do not hold, where the run knows the
// text to write; a value that already holds that text is left alone (the
// interactive dialogue writes both suffixes, as it always has).
std::vector<PlannedWrite> RepairWrites(const std::vector<RuleCheck>& checks,
                                       const SettingValue values[kSettingCount]) {
    std::vector<PlannedWrite> writes;
    for (const RuleCheck& check : checks) {
        if (check.repairText.empty()) continue;
        for (SettingId setting : check.mends) {
            const SettingValue& value = values[setting];
            if (value.representable && value.text == check.repairText) continue;
            writes.push_back({setting, check.repairText});
        }
    }
    return writes;
}

// "key = value name = text", as the WRITING and WHATIF lines name a write,
// the text shortened as every value in fleet output is.
std::string Named(const PlannedWrite& write) {
    return std::string(kSettings[write.setting].keyPath) + " = " +
           kSettings[write.setting].valueName + " = " + Shortened(OnOneLine(write.text));
}

// The settings after the writes, read again: the result states what the
// registry holds, not what the run meant to do.
void CheckAgain(RunRecord* run) {
    run->problems.clear();
    run->valuesRead = false;
    if (!ReadLdapSettings(run->context, run->values)) {
        run->failure = kReadBackFailed + AlreadyWritten(*run);
        return;
    }
    run->valuesRead = true;
    run->problems = Problems(CheckRules(run->context, run->values));
}

}  // namespace

int RunUnattended(const RunContext& context) {
    VerboseMode = context.verbose;
    RunRecord run(context);
    if (!ReadLdapSettings(context, run.values, &run.keysInOtherView)) {
        run.failure = kReadFailed;
        return EndRun(&run);
    }
    run.valuesRead = true;
    const std::vector<RuleCheck> checks = CheckRules(context, run.values);
    for (const RuleCheck& check : checks) ReportCheck(context, check, run.values);
    run.problems = Problems(checks);
    const std::vector<PlannedWrite> writes = RepairWrites(checks, run.values);
    if (!context.MayWrite()) {
        if (context.whatIf) {
            for (const PlannedWrite& write : writes) {
                Show(context, kWhatIf + Named(write));
                RecordWrite(&run, write.setting, write.text);
            }
        }
        return EndRun(&run);
    }
    if (writes.empty()) return EndRun(&run);
    for (const PlannedWrite& write : writes) {
        Show(context, kWriting + Named(write));
        if (!WriteSetting(&run, write.setting, write.text)) return EndRun(&run);
    }
    CheckAgain(&run);
    return EndRun(&run);
}
