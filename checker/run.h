// One run for every mode: read, check, plan the writes, back up, log, write,
// read back, and end with the outcome, all in one RunRecord, which every view
// (screen lines, log, JSON) is made from. The front ends supply their own part.
#pragma once

#include "rules.h"
#include "run_context.h"

inline constexpr char kWriting[] = "WRITING ";
inline constexpr char kResultFailed[] = "RESULT: failed - ";
inline constexpr char kWhatIfLogUnwritten[] =
    "WHATIF - /whatif writes nothing, not even to the log ";

// Planned (/whatif), made, or refused; the texts in UTF-8.
struct WriteRecord {
    SettingId setting;
    std::string oldText;  // the stored value the write replaces
    std::string newText;
    bool done;
};

struct RunRecord {
    explicit RunRecord(const RunContext& context) : context(context) {}

    const RunContext& context;
    SettingValue values[kSettingCount];
    std::vector<RuleCheck> checks;  // the rules on `values`; none while those are not known
    int changeCount = 0;
    std::vector<WriteRecord> writes;    // in the order made or planned
    std::vector<std::string> problems;  // what is still wrong
    std::string failure;                // UTF-8 (it may name a file); empty while none
    std::wstring backupFile;            // the backup written, once it is
};

// What a front end supplies, each part null where it has none. `start`, before
// anything is read: false ends the run, `run->failure` says why. `repairText`,
// asked for every check, holding or not (a desired state may name a suffix
// other than the one both values hold): the text that mends `check`, and the
// line that announces its writes once the backup is made (none: each write has
// a line); false leaves it as it is.
// `finish`: after the checks and their writes, when the run has not failed.
struct FrontEnd {
    bool (*start)(RunRecord* run);
    bool (*repairText)(const RunContext& context, const RuleCheck& check, std::string* text,
                       std::string* announcement);
    void (*finish)(const RunRecord& run);
};

// The run into `run`, its RESULT line logged; returns the exit code. Its
// outcome is shown by the caller, from the record (ShowOutcome).
int RunChecks(const FrontEnd& frontEnd, RunRecord* run);

// Ends a run that reads and writes nothing because of `reason` (UTF-8); the
// interactive run first prints `interactiveLine` (ANSI), if any.
int RefuseRun(RunRecord* run, const std::string& interactiveLine, const std::string& reason);

std::string ResultLine(const RunRecord& run);

// The views' end of a run: the /json document, or an unattended run's RESULT
// line; returns `exitCode`.
int ShowOutcome(const RunRecord& run, int exitCode);
// The /json document, in plain ASCII (others as \uXXXX): PowerShell decodes it
// as OEM, remoting as ANSI, Ansible as UTF-8, and ASCII reads alike to all.
std::string JsonReport(const RunRecord& run, int exitCode);
std::string JsonString(const std::wstring& text);

// The front ends. Never reads standard input; exits 0 compliant (after the
// run), 2 not compliant, 1 failed.
int RunFleet(const RunContext& context);
int RunInteractive(const RunContext& context);  // exits 1 when the run failed, 0 otherwise
// A DSC 3 resource: exits 0 in the desired state or not, another code only on failure.
int RunDsc(const RunContext& context);
