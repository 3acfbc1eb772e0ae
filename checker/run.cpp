#include "run.h"

#include <algorithm>

#include "console.h"
#include "run_files.h"
#include "text_encoding.h"

namespace {

const char kReadFailed[] = "could not read the settings";

void ShowCheck(const RunContext& context, const RuleCheck& check,
               const SettingValue values[kSettingCount]) {
    const char kIsCurrently[] = " is currently = ";
    const char* name = kSettings[check.setting].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    const std::string shown = ShownValue(context, values[check.setting]);
    const bool ruleTwo = check.setting == kLdapSuffix;
    if (check.holds) {
        if (VerboseMode || context.Unattended()) {
            Show(context, std::string("Check OK - ") + name + " = " +
                              (ruleTwo ? clientName + std::string(" = ") : "") + shown);
        }
        return;
    }
    if (check.setting != kLoginAuth) Show(context, "");
    const std::string serverLine = std::string(ServerKeyPath) + " = " + name + kIsCurrently + shown;
    if (!ruleTwo) {
        Show(context, "CORRECTION NEEDED - " + serverLine);
        Show(context, std::string("SHOULD BE - ") + kExpectedValue);
        return;
    }
    Show(context, "CORRECTION NEEDED - two registry key/values below do not match");
    Show(context, serverLine);
    Show(context, std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
                      ShownValue(context, values[kDnSuffix]));
    Show(context, "These two values MUST match!");
}

std::string AlreadyWritten(const RunRecord& run) {
    std::vector<std::string> names;
    for (const WriteRecord& write : run.writes) {
        if (write.done) names.push_back(kSettings[write.setting].valueName);
    }
    return names.empty() ? std::string() : "; already written: " + Joined(names, ", ");
}

struct PlannedWrite {
    SettingId setting;
    std::string text;
};

void Evaluate(RunRecord* run) {
    run->checks = CheckRules(run->values);
    run->problems.clear();
    for (const RuleCheck& check : run->checks) {
        if (check.holds) continue;
        const bool noSuffix = check.setting == kLdapSuffix &&
                              run->context.mode == RunMode::kRepair && run->context.suffix.empty();
        run->problems.push_back(check.problem +
                                (noSuffix ? " (give /suffix:VALUE to repair it)" : ""));
    }
}

// A failure of the backup or the log: the interactive run says it at once.
bool Fail(RunRecord* run, const std::string& failure) {
    run->failure = failure;
    if (!run->context.Unattended()) PrintLine(ScreenText(kErrorPrefix + failure));
    return false;
}

// A line the log cannot take fails the run.
bool Log(RunRecord* run, const std::string& line) {
    const std::wstring& log = run->context.logFile;
    if (!run->context.KeepsLog() || AppendLogLine(log, line)) return true;
    return Fail(run, "could not write the log " + ShownName(log) + AlreadyWritten(*run));
}

void RecordWrite(RunRecord* run, SettingId setting, const std::string& text) {
    const SettingValue& oldValue = run->values[setting];
    run->writes.push_back(
        {setting, Utf8FromStored(oldValue.type, oldValue.stored), Utf8FromAnsi(text), false});
}

// Such a run reads the values again just before it writes, so its records hold
// what the registry held then, not while the operator typed; and after.
bool KeepsRecords(const RunContext& context) {
    return context.Unattended() || !context.backupFile.empty() || !context.logFile.empty();
}

bool PrepareWrites(RunRecord* run) {
    const RunContext& context = run->context;
    if (KeepsRecords(context)) {
        SettingValue values[kSettingCount];
        REGSAM ignored = 0;
        if (!ReadLdapSettings(context, values, &ignored, ReadReport::kWithoutProgress)) {
            run->failure = kReadFailed + AlreadyWritten(*run);
            return false;
        }
        std::copy(values, values + kSettingCount, run->values);
    }
    if (context.backupFile.empty() || !run->backupFile.empty()) return true;
    std::vector<StoredSetting> settings;
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingValue& value = run->values[id];
        settings.push_back(
            {kSettings[id].keyPath, kSettings[id].valueName, value.type, value.stored});
    }
    if (!WriteBackupFile(context.backupFile, settings, context.view, &run->backupFile)) {
        return Fail(run, "could not write the backup " + ShownName(context.backupFile) +
                             ", nothing was changed");
    }
    const std::string saved =
        "BACKUP - the values before the writes are saved in " + ShownName(run->backupFile);
    Show(context, ScreenText(saved));
    return Log(run, saved);
}

bool WriteSetting(RunRecord* run, SettingId setting, const std::string& text) {
    const RunContext& context = run->context;
    const char* keyPath = kSettings[setting].keyPath;
    const char* valueName = kSettings[setting].valueName;
    RecordWrite(run, setting, text);
    // Logged before it is made: a write the log cannot tell of is not made.
    const std::string logged = std::string(keyPath) + " = " + valueName + " : " +
                               LogQuoted(run->writes.back().oldText) + " -> " +
                               LogQuoted(run->writes.back().newText);
    if (!Log(run, "WRITE " + logged)) return false;
    // The registry stores a NUL after string data that does not end in one.
    if (!WriteLdapSetting(context, setting, text.c_str(), static_cast<DWORD>(text.size()))) {
        if (context.KeepsLog()) AppendLogLine(context.logFile, "REFUSED " + logged);
        run->failure =
            std::string("could not write ") + keyPath + " = " + valueName + AlreadyWritten(*run);
        return false;
    }
    ++run->changeCount;
    run->writes.back().done = true;
    return true;
}

// Announced once the backup is made: by `announcement`, or each on its line.
bool MakeWrites(RunRecord* run, std::vector<PlannedWrite>* plan,
                const std::string& announcement = "") {
    const RunContext& context = run->context;
    if (plan->empty()) return true;
    if (context.MayWrite() && !PrepareWrites(run)) return false;
    if (!announcement.empty()) PrintLine(announcement);
    for (const PlannedWrite& write : *plan) {
        const SettingPlace& place = kSettings[write.setting];
        if (announcement.empty()) {
            Show(context, std::string(context.whatIf ? "WHATIF - would write " : kWriting) +
                              place.keyPath + " = " + place.valueName + " = " +
                              Shortened(OnOneLine(write.text)));
        }
        if (!context.MayWrite()) {
            RecordWrite(run, write.setting, write.text);
        } else if (!WriteSetting(run, write.setting, write.text)) {
            return false;
        }
    }
    plan->clear();
    return true;
}

// The record states what the registry holds after the writes, also when the
// run failed part way (that read then says nothing: the failure has been told).
void ReadBack(RunRecord* run) {
    const bool failed = !run->failure.empty();
    REGSAM ignored = 0;
    if (ReadLdapSettings(run->context, run->values, &ignored,
                         failed ? ReadReport::kSilent : ReadReport::kWithoutProgress)) {
        Evaluate(run);
        return;
    }
    run->checks.clear();
    run->problems.clear();
    if (!failed) run->failure = kReadFailed + (" back after writing them" + AlreadyWritten(*run));
}

// A run whose end the log cannot tell of has failed, whatever it did. A check's
// line says it was one: it changed nothing.
int EndRun(RunRecord* run) {
    Log(run, (run->context.mode == RunMode::kCheck ? "CHECK " : "") + ResultLine(*run));
    const bool notCompliant = run->context.Unattended() && !run->problems.empty();
    return !run->failure.empty() ? 1 : notCompliant ? 2 : 0;
}

}  // namespace

// A run that may write counts its changes when it ends compliant, and when
// it ends not compliant after writing.
std::string ResultLine(const RunRecord& run) {
    if (!run.failure.empty()) return kResultFailed + run.failure;
    const std::string changes = std::to_string(run.changeCount) + " changes made";
    const bool counts = run.context.MayWrite();
    if (run.problems.empty()) return "RESULT: compliant" + (counts ? ", " + changes : "");
    const std::string problems = Joined(run.problems, "; ");
    if (counts && run.changeCount > 0)
        return "RESULT: not compliant, " + changes + " - " + problems;
    return "RESULT: not compliant - " + problems;
}

int RunChecks(const FrontEnd& frontEnd, RunRecord* record) {
    RunRecord& run = *record;
    const RunContext& context = run.context;
    VerboseMode = context.verbose;
    if (frontEnd.start != nullptr && !frontEnd.start(&run)) return EndRun(&run);
    REGSAM otherView = 0;
    if (!ReadLdapSettings(context, run.values, &otherView)) {
        const std::string bits = otherView == KEY_WOW64_64KEY ? "64" : "32";
        const std::string where =
            "; the keys are in the " + bits + "-bit registry view (/reg:" + bits + ")";
        run.failure = kReadFailed + (otherView == 0 ? "" : where);
        return EndRun(&run);
    }
    Evaluate(&run);
    // The dialogue writes each check's values once the operator has settled them;
    // an unattended run reports every check, then writes only the values that differ.
    std::vector<PlannedWrite> plan;
    for (const RuleCheck& check : run.checks) {
        ShowCheck(context, check, run.values);
        std::string text;
        std::string announcement;
        if (!frontEnd.repairText(context, check, &text, &announcement)) continue;
        for (SettingId setting : check.settings) {
            if (context.Unattended() && HoldsText(run.values[setting], text)) continue;
            plan.push_back({setting, text});
        }
        if (!context.Unattended() && !MakeWrites(&run, &plan, announcement)) break;
    }
    if (run.failure.empty()) MakeWrites(&run, &plan);
    if (run.changeCount > 0 && KeepsRecords(context)) ReadBack(&run);
    if (run.failure.empty() && frontEnd.finish != nullptr) frontEnd.finish(run);
    return EndRun(&run);
}

int RefuseRun(RunRecord* run, const std::string& interactiveLine, const std::string& reason) {
    if (!run->context.Unattended() && !interactiveLine.empty()) Show(run->context, interactiveLine);
    run->failure = reason;
    return EndRun(run);
}
