#include "rules.h"

#include "audit_log.h"
#include "console.h"
#include "registry_backup.h"
#include "run_report.h"
#include "text_encoding.h"
#include "texts.h"

namespace {

const int kExitCompliant = 0;
const int kExitFailed = 1;
const int kExitNotCompliant = 2;

// Why the log failed, naming what the run had written by then.
std::string LogFailure(const RunRecord& run);

bool ShowChecks(const RunContext& context) { return VerboseMode || context.Unattended(); }

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
    return joined;
}

std::vector<StoredSetting> BackupOf(const RunRecord& run) {
    std::vector<StoredSetting> settings;
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingValue& value = run.values[id];
        settings.push_back(
            {kSettings[id].keyPath, kSettings[id].valueName, value.type, value.stored});
    }
    return settings;
}

// A text that is not the stored value never passes, however it reads.
bool RuleOneHolds(const SettingValue& value) {
    return value.representable && value.text == kExpectedValue;
}

// Two texts that read alike but are not the stored values are equal only when
// the stored values are.
bool SuffixesMatch(const SettingValue& serverSuffix, const SettingValue& clientSuffix) {
    if (serverSuffix.text != clientSuffix.text) return false;
    if (serverSuffix.representable && clientSuffix.representable) return true;
    return serverSuffix.type == clientSuffix.type && serverSuffix.stored == clientSuffix.stored;
}

void ReportRuleOne(const RunContext& context, const RuleCheck& check, const SettingValue& value) {
    const char* name = kSettings[check.setting].valueName;
    if (check.holds) {
        if (ShowChecks(context)) {
            Show(context, std::string(kCheckOk) + name + " = " + ShownValue(context, value));
        }
        return;
    }
    if (check.setting == kCrAuth) Show(context, "");
    Show(context, std::string(kCorrectionNeeded) + ServerKeyPath + " = " + name + kIsCurrently +
                      ShownValue(context, value));
    Show(context, std::string(kShouldBe) + kExpectedValue);
}

void ReportRuleTwo(const RunContext& context, const RuleCheck& check,
                   const SettingValue values[kSettingCount]) {
    const char* serverName = kSettings[kLdapSuffix].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    if (check.holds) {
        if (ShowChecks(context)) {
            Show(context, std::string(kCheckOk) + serverName + " = " + clientName + " = " +
                              ShownValue(context, values[kLdapSuffix]));
        }
        return;
    }
    Show(context, "");
    Show(context, std::string(kCorrectionNeeded) + kNoMatch);
    Show(context, std::string(ServerKeyPath) + " = " + serverName + kIsCurrently +
                      ShownValue(context, values[kLdapSuffix]));
    Show(context, std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
                      ShownValue(context, values[kDnSuffix]));
    Show(context, kMustMatch);
}

std::string LogFailure(const RunRecord& run) {
    return kLogNotWritten + Utf8FromWide(run.context.logFile) + AlreadyWritten(run);
}

}  // namespace

std::vector<RuleCheck> CheckRules(const RunContext& context,
                                  const SettingValue values[kSettingCount]) {
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
        // A repair without /suffix: leaves the suffixes as they are, and says
        // how to mend them.
        const bool noSuffix = context.mode == RunMode::Repair && !context.hasSuffix;
        suffixes.problem = std::string(kRuleTwoProblem) + (noSuffix ? kNoSuffixGiven : "");
        suffixes.mends = {kLdapSuffix, kDnSuffix};
        suffixes.repairText = context.hasSuffix ? context.suffix : "";
    }
    checks.push_back(suffixes);
    return checks;
}

std::vector<std::string> Problems(const std::vector<RuleCheck>& checks) {
    std::vector<std::string> problems;
    for (const RuleCheck& check : checks) {
        if (!check.holds) problems.push_back(check.problem);
    }
    return problems;
}

void ReportCheck(const RunContext& context, const RuleCheck& check,
                 const SettingValue values[kSettingCount]) {
    if (check.setting == kLdapSuffix) {
        ReportRuleTwo(context, check, values);
    } else {
        ReportRuleOne(context, check, values[check.setting]);
    }
}

void RecordWrite(RunRecord* run, SettingId setting, const std::string& text) {
    const SettingValue& oldValue = run->values[setting];
    run->writes.push_back({setting, Utf8FromStored(oldValue.type, oldValue.stored), text, false});
}

bool WriteSetting(RunRecord* run, SettingId setting, const std::string& text) {
    const RunContext& context = run->context;
    const char* keyPath = kSettings[setting].keyPath;
    const char* valueName = kSettings[setting].valueName;
    // The backup holds the values as they were before this run changed any.
    if (!context.backupFile.empty() && !run->backupMade) {
        if (!WriteBackupFile(context.backupFile, BackupOf(*run), context.view)) {
            run->failure = kBackupNotWritten + Utf8FromWide(context.backupFile) + kNothingChanged;
            if (!context.Unattended()) PrintLine(ScreenText(kErrorPrefix + run->failure));
            return false;
        }
        run->backupMade = true;
    }
    RecordWrite(run, setting, text);
    // Logged before it is made: a write the log cannot tell of is not made.
    const std::string logged = std::string(keyPath) + " = " + valueName + " : \"" +
                               run->writes.back().oldText + "\" -> \"" + Utf8FromAnsi(text) + "\"";
    if (!context.logFile.empty() && !AppendLogLine(context.logFile, kLogWrite + logged)) {
        run->failure = LogFailure(*run);
        if (!context.Unattended()) PrintLine(ScreenText(kErrorPrefix + run->failure));
        return false;
    }
    // The count is the text's length; the registry still stores the NUL that
    // follows it, as it does for any string data that does not end in one.
    const DWORD length = static_cast<DWORD>(text.size());
    if (!WriteLdapSetting(context, setting, text.c_str(), length)) {
        if (!context.logFile.empty()) AppendLogLine(context.logFile, kLogRefused + logged);
        run->failure =
            std::string(kCouldNotWrite) + keyPath + " = " + valueName + AlreadyWritten(*run);
        return false;
    }
    ++run->changeCount;
    run->writes.back().done = true;
    return true;
}

std::string AlreadyWritten(const RunRecord& run) {
    std::vector<std::string> names;
    for (const WriteRecord& write : run.writes) {
        if (write.done) names.push_back(kSettings[write.setting].valueName);
    }
    return names.empty() ? std::string() : kAlreadyWritten + Joined(names, ", ");
}

std::string FailureReason(const RunRecord& run) {
    if (run.keysInOtherView == KEY_WOW64_64KEY) return run.failure + kKeysInOther64Note;
    if (run.keysInOtherView == KEY_WOW64_32KEY) return run.failure + kKeysInOther32Note;
    return run.failure;
}

std::string ResultLine(const RunRecord& run) {
    if (!run.failure.empty()) return kResultFailed + FailureReason(run);
    const std::string changes = std::to_string(run.changeCount) + kChangesCounted;
    if (!run.problems.empty()) {
        const std::string problems = Joined(run.problems, "; ");
        if (run.context.MayWrite() && run.changeCount > 0) {
            return kResultNotCompliantAfter + changes + kWhatIsStillWrong + problems;
        }
        return kResultNotCompliant + problems;
    }
    std::string line = kResultCompliant;
    if (run.context.MayWrite()) line += ", " + changes;
    return line;
}

int ExitCode(const RunRecord& run) {
    if (!run.failure.empty()) return kExitFailed;
    if (!run.context.Unattended()) return kExitCompliant;
    return run.problems.empty() ? kExitCompliant : kExitNotCompliant;
}

int EndRun(RunRecord* run) {
    const RunContext& context = run->context;
    // The RESULT line is the log's last word on the run: a run whose end the
    // log cannot tell of has failed, whatever it did.
    if (!context.logFile.empty() && !AppendLogLine(context.logFile, ResultLine(*run))) {
        run->failure = LogFailure(*run);
        if (!context.Unattended()) PrintLine(ScreenText(kErrorPrefix + run->failure));
    }
    const int exitCode = ExitCode(*run);
    if (context.json) {
        PrintLine(JsonReport(*run, exitCode));
    } else if (context.Unattended()) {
        PrintLine(ScreenText(ResultLine(*run)));
    }
    return exitCode;
}
