// The two rules, evaluated in one place for every run; the lines that report
// them, the writes that mend them, and the RESULT line that ends a run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ldap_settings.h"
#include "run_context.h"

// One write of a run: planned (/whatif), made, or refused.
struct WriteRecord {
    SettingId setting;
    std::string oldText;  // UTF-8, as the log shows the stored value
    std::string newText;  // ANSI, as written
    bool done;
};

// What a run has read and done so far.
struct RunRecord {
    explicit RunRecord(const RunContext& context) : context(context) {}

    const RunContext& context;
    bool valuesRead = false;  // `values` hold what the registry last gave
    SettingValue values[kSettingCount];
    int changeCount = 0;
    std::vector<WriteRecord> writes;    // in the order made or planned
    std::vector<std::string> problems;  // what is still wrong
    // Why the run failed, in UTF-8 (it may name a file as typed); empty while
    // it has not.
    std::string failure;
    REGSAM keysInOtherView = 0;  // a failed read found the keys in this view
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

// Records a write of `text` as `setting`, not made yet, with the value it
// replaces as the log shows it.
void RecordWrite(RunRecord* run, SettingId setting, const std::string& text);

// Writes `text` as `setting`, after the backup if one is asked for and not
// made yet, and logs the write. False when the backup or the write failed;
// `failure` then says why, naming what was already written.
bool WriteSetting(RunRecord* run, SettingId setting, const std::string& text);

// "; already written: A, B" for the writes made so far; empty for none.
std::string AlreadyWritten(const RunRecord& run);

// Why the run failed, as its RESULT line says it (UTF-8): the failure and,
// where the keys were found in the other registry view, that note.
std::string FailureReason(const RunRecord& run);

// "RESULT: ..." for the run as recorded, in UTF-8. Every run's outcome goes
// through here; a run that may write counts its changes when it ends
// compliant, and when it ends not compliant after writing.
std::string ResultLine(const RunRecord& run);

// 1 when the run failed; otherwise 0, or for an unattended run 0 compliant
// and 2 not compliant.
int ExitCode(const RunRecord& run);

// Ends the run: logs the RESULT line, failing the run when the log cannot
// take it, prints it (an unattended run) or the JSON document (/json), and
// returns the exit code.
int EndRun(RunRecord* run);
