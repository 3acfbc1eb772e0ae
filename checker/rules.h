// The two rules, evaluated in one place for every run; the lines that report
// them, the writes that mend them, and the RESULT line that ends a run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ldap_settings.h"
#include "run_context.h"

// What a run has read and done so far.
struct RunRecord {
    explicit RunRecord(const RunContext& context) : context(context) {}

    const RunContext& context;
    SettingValue values[kSettingCount];
    int changeCount = 0;
    std::vector<std::string> written;   // value names, in the order written
    std::vector<std::string> problems;  // what is still wrong
    std::string failure;                // why the run failed; empty while it has not
    bool backupMade = false;
};

// One check of a rule: Rule One on one of the two flags, or Rule Two on the
// two suffixes (named by kLdapSuffix, compared with kDnSuffix).
struct RuleCheck {
    SettingId setting;
    bool holds;
    std::string problem;           // for the RESULT line; empty when the check holds
    std::vector<SettingId> mends;  // the values a repair writes; none when it holds
    std::string repairText;        // what it writes there: "Yes", or the /suffix: value;
                                   // empty when only the operator can give it
};

// The rules on `values`, in the order the runs report them: Rule One on each
// flag, then Rule Two.
std::vector<RuleCheck> CheckRules(const RunContext& context,
                                  const SettingValue values[kSettingCount]);

// What `checks` leave wrong, for the RESULT line.
std::vector<std::string> Problems(const std::vector<RuleCheck>& checks);

// The "Check OK - " line of a check that holds (verbose and unattended runs
// only), or the "CORRECTION NEEDED - " lines of one that does not.
void ReportCheck(const RunContext& context, const RuleCheck& check,
                 const SettingValue values[kSettingCount]);

// Writes `text` as `setting`, after the backup if one is asked for and not
// made yet, and logs the write. False when the backup or the write failed;
// `failure` then says why, naming what was already written.
bool WriteSetting(RunRecord* run, SettingId setting, const std::string& text);

// "RESULT: ..." for the run as recorded. Every run's outcome goes through
// here; a compliant result of a run that may write counts its changes.
std::string ResultLine(const RunRecord& run);

// Ends the run: logs the RESULT line (an unattended run also prints it) and
// returns the exit code, 0 for the interactive run, whose outcome is what it
// printed; otherwise 0 compliant, 2 not compliant, 1 failed.
int EndRun(const RunRecord& run);
