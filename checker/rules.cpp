#include "rules.h"

#include "audit_log.h"
#include "console.h"
#include "registry_backup.h"
#include "text_encoding.h"
#include "texts.h"

namespace {

const int kExitCompliant = 0;
const int kExitFailed = 1;
const int kExitNotCompliant = 2;

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
            PrintLine(std::string(kCheckOk) + name + " = " + ShownValue(context, value));
        }
        return;
    }
    if (check.setting == kCrAuth) PrintLine("");
    PrintLine(std::string(kCorrectionNeeded) + ServerKeyPath + " = " + name + kIsCurrently +
              ShownValue(context, value));
    PrintLine(std::string(kShouldBe) + kExpectedValue);
}

void ReportRuleTwo(const RunContext& context, const RuleCheck& check,
                   const SettingValue values[kSettingCount]) {
    const char* serverName = kSettings[kLdapSuffix].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    if (check.holds) {
        if (ShowChecks(context)) {
            PrintLine(std::string(kCheckOk) + serverName + " = " + clientName + " = " +
                      ShownValue(context, values[kLdapSuffix]));
        }
        return;
    }
    PrintLine("");
    PrintLine(std::string(kCorrectionNeeded) + kNoMatch);
    PrintLine(std::string(ServerKeyPath) + " = " + serverName + kIsCurrently +
              ShownValue(context, values[kLdapSuffix]));
    PrintLine(std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
              ShownValue(context, values[kDnSuffix]));
    PrintLine(kMustMatch);
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

bool WriteSetting(RunRecord* run, SettingId setting, const std::string& text) {
    const RunContext& context = run->context;
    const char* keyPath = kSettings[setting].keyPath;
    const char* valueName = kSettings[setting].valueName;
    // The backup holds the values as they were before this run changed any.
    if (!context.backupFile.empty() && !run->backupMade) {
        if (!WriteBackupFile(context.backupFile, BackupOf(*run), context.view)) {
            run->failure = kBackupNotWritten + context.backupFile + kNothingChanged;
            if (!context.Unattended()) PrintLine(kErrorPrefix + run->failure);
            return false;
        }
        run->backupMade = true;
    }
    // The count is the text's length; the registry still stores the NUL that
    // follows it, as it does for any string data that does not end in one.
    const DWORD length = static_cast<DWORD>(text.size());
    if (!WriteLdapSetting(context, setting, text.c_str(), length)) {
        run->failure = std::string(kCouldNotWrite) + keyPath + " = " + valueName;
        if (!run->written.empty()) run->failure += kAlreadyWritten + Joined(run->written, ", ");
        return false;
    }
    ++run->changeCount;
    run->written.push_back(valueName);
    const SettingValue& oldValue = run->values[setting];
    if (!context.logFile.empty()) {
        AppendLogLine(context.logFile, std::string(kLogWrite) + keyPath + " = " + valueName +
                                           " : \"" +
                                           Utf8FromStored(oldValue.type, oldValue.stored) +
                                           "\" -> \"" + Utf8FromAnsi(text) + "\"");
    }
    return true;
}

std::string ResultLine(const RunRecord& run) {
    if (!run.failure.empty()) return kResultFailed + run.failure;
    if (!run.problems.empty()) return kResultNotCompliant + Joined(run.problems, "; ");
    std::string line = kResultCompliant;
    if (run.context.MayWrite()) line += ", " + std::to_string(run.changeCount) + kChangesCounted;
    return line;
}

int EndRun(const RunRecord& run) {
    const RunContext& context = run.context;
    const std::string result = ResultLine(run);
    if (context.Unattended()) PrintLine(result);
    if (!context.logFile.empty()) AppendLogLine(context.logFile, Utf8FromAnsi(result));
    if (!context.Unattended()) return 0;
    if (!run.failure.empty()) return kExitFailed;
    return run.problems.empty() ? kExitCompliant : kExitNotCompliant;
}
