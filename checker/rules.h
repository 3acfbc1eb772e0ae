// The two rules, the lines that report them, and the writes that mend them,
// shared by the interactive run and the unattended one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ldap_settings.h"

struct CommandLine;

// What a run has read and done so far, and the backup and log it keeps.
struct RunRecord {
    explicit RunRecord(const CommandLine& options);

    SettingValue serverValues[3];
    SettingValue clientValue;
    int changeCount = 0;
    std::vector<std::string> written;   // value names, in the order written
    std::vector<std::string> problems;  // what is still wrong
    std::string failure;                // why the run failed; empty while it has not
    std::string backupFile;             // empty: none asked for, or made already
    std::string logFile;                // empty: none
};

bool RuleOneHolds(const SettingValue& value);
bool SuffixesMatch(const SettingValue& serverSuffix, const SettingValue& clientSuffix);

// "Check OK - " lines (verbose and unattended runs only) and the
// "CORRECTION NEEDED - " lines of each rule.
void ReportRuleOneHeld(int index, const SettingValue& value);
void ReportRuleOneBroken(int index, const SettingValue& value);
void ReportRuleTwoHeld(const SettingValue& serverSuffix);
void ReportRuleTwoBroken(const SettingValue& serverSuffix, const SettingValue& clientSuffix);

// What is wrong when Rule One does not hold, for the RESULT line.
std::string RuleOneProblem(int index);

// Writes `text` as `valueName` under `keyPath` (one of the two keys), after
// the backup if one is asked for and not made yet, and logs the write. False
// when the backup or the write failed; `failure` then says why, naming what
// was already written.
bool WriteSetting(RunRecord* run, const char* keyPath, const char* valueName,
                  const std::string& text, const SettingValue& oldValue);

// "RESULT: ..." for the run as recorded; `countChanges` adds ", N changes
// made" to a compliant result.
std::string ResultLine(const RunRecord& run, bool countChanges);

// Appends `line` (UTF-8) to the run's log, when it keeps one.
void LogLine(const RunRecord& run, const std::string& line);
