#include "rules.h"

#include "audit_log.h"
#include "command_line.h"
#include "console.h"
#include "registry_backup.h"
#include "texts.h"

namespace {

bool ShowChecks() { return VerboseMode || UnattendedMode; }

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
    return joined;
}

std::vector<StoredSetting> BackupOf(const RunRecord& run) {
    std::vector<StoredSetting> settings;
    for (int index = 0; index < 3; ++index) {
        const SettingValue& value = run.serverValues[index];
        settings.push_back({ServerKeyPath, ServerValueNames[index], value.type, value.stored});
    }
    settings.push_back(
        {ClientKeyPath, ClientValueName, run.clientValue.type, run.clientValue.stored});
    return settings;
}

}  // namespace

RunRecord::RunRecord(const CommandLine& options)
    : backupFile(options.backupFile), logFile(options.logFile) {}

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

void ReportRuleOneHeld(int index, const SettingValue& value) {
    if (ShowChecks()) {
        PrintLine(std::string(kCheckOk) + ServerValueNames[index] + " = " + ShownValue(value));
    }
}

void ReportRuleOneBroken(int index, const SettingValue& value) {
    if (index == 1) PrintLine("");
    PrintLine(std::string(kCorrectionNeeded) + ServerKeyPath + " = " + ServerValueNames[index] +
              kIsCurrently + ShownValue(value));
    PrintLine(std::string(kShouldBe) + kExpectedValue);
}

void ReportRuleTwoHeld(const SettingValue& serverSuffix) {
    if (ShowChecks()) {
        PrintLine(std::string(kCheckOk) + ServerValueNames[2] + " = " + ClientValueName + " = " +
                  ShownValue(serverSuffix));
    }
}

void ReportRuleTwoBroken(const SettingValue& serverSuffix, const SettingValue& clientSuffix) {
    PrintLine("");
    PrintLine(std::string(kCorrectionNeeded) + kNoMatch);
    PrintLine(std::string(ServerKeyPath) + " = " + ServerValueNames[2] + kIsCurrently +
              ShownValue(serverSuffix));
    PrintLine(std::string(ClientKeyPath) + " = " + ClientValueName + kIsCurrently +
              ShownValue(clientSuffix));
    PrintLine(kMustMatch);
}

std::string RuleOneProblem(int index) {
    return std::string(ServerValueNames[index]) + kIsNot + kExpectedValue;
}

bool WriteSetting(RunRecord* run, const char* keyPath, const char* valueName,
                  const std::string& text, const SettingValue& oldValue) {
    // The backup holds the values as they were before this run changed any.
    if (!run->backupFile.empty()) {
        if (!WriteBackupFile(run->backupFile, BackupOf(*run), KeyView)) {
            run->failure = kBackupNotWritten + run->backupFile + kNothingChanged;
            if (!UnattendedMode) PrintLine(kErrorPrefix + run->failure);
            return false;
        }
        run->backupFile.clear();
    }
    // The count is the text's length; the registry still stores the NUL that
    // follows it, as it does for any string data that does not end in one.
    const DWORD length = static_cast<DWORD>(text.size());
    if (!WriteLdapSetting(keyPath, valueName, text.c_str(), length)) {
        run->failure = std::string(kCouldNotWrite) + keyPath + " = " + valueName;
        if (!run->written.empty()) run->failure += kAlreadyWritten + Joined(run->written, ", ");
        return false;
    }
    ++run->changeCount;
    run->written.push_back(valueName);
    LogLine(*run, std::string(kLogWrite) + keyPath + " = " + valueName + " : \"" +
                      Utf8FromStored(oldValue.type, oldValue.stored) + "\" -> \"" +
                      Utf8FromAnsi(text) + "\"");
    return true;
}

std::string ResultLine(const RunRecord& run, bool countChanges) {
    if (!run.failure.empty()) return kResultFailed + run.failure;
    if (!run.problems.empty()) return kResultNotCompliant + Joined(run.problems, "; ");
    std::string line = kResultCompliant;
    if (countChanges) line += ", " + std::to_string(run.changeCount) + kChangesCounted;
    return line;
}

void LogLine(const RunRecord& run, const std::string& line) {
    if (!run.logFile.empty()) AppendLogLine(run.logFile, line);
}
