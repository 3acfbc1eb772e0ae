// One run for every front end: read, check, plan the writes, back up, log,
// write, read back and judge, all into one RunRecord. The run tests no mode:
// its front end hands it a request (a screen and named policies).
#pragma once

#include "run_record.h"
#include "screen.h"

inline constexpr char kResultFailed[] = "RESULT: failed - ";

enum Policy : unsigned {
    kMends = 1,               // plans the writes that mend what fails
    kWrites = 2,              // and makes them (not so /whatif)
    kWritesPerCheck = 4,      // as each check is settled, not all after the checks
    kRewritesHeldValues = 8,  // a value that holds its text already is written too
    kSuffixIsDesired = 16,    // both suffixes must hold the one given, not only agree
    kKeepsRecords = 32,       // reads again after each answer before a write, and back after
    kExits2WhenNotCompliant = 64,
};

// What a front end asks of one run.
struct RunRequest {
    RunRequest(Screen& screen, const KeyAccess& access) : screen(screen), access(access) {}

    Screen& screen;
    KeyAccess access;
    unsigned policies = 0;
    AnsiText suffix;                  // Rule Two's text; empty: none (the dialogue asks)
    std::wstring desiredSuffix;       // with kSuffixIsDesired, as it must be stored
    Utf8Text suffixRefusal;           // why the suffix is never written; empty: it may be
    const char* unmendedSuffix = "";  // said after Rule Two's problem, when it stays
    const char* viewNamed[2] = {"(/reg:", ")"};  // around "64": how the user names a view
    std::wstring backupFile;                     // empty: none
    std::wstring logFile;                        // empty: none
};

// Rule One's "Yes" and Rule Two's `suffix` wherever a check that fails needs
// them: pure, so each front end's policies are a row of a table.
std::vector<PlannedWrite> PlanWrites(const std::vector<RuleCheck>& checks,
                                     const SettingValue values[kSettingCount],
                                     const AnsiText& suffix, unsigned policies);

// The run into `run`, its RESULT line logged, its verdict in `run->verdict`.
void CheckAndRepair(const RunRequest& request, RunRecord* run);

// The verdict of a run that has ended; counts its changes where it may write.
void Judge(unsigned policies, RunRecord* run);

// The record as the writes it planned would leave it (/whatif): the same rules
// on the values those writes would store.
RunRecord AsPlannedWritesLeaveIt(const RunRequest& request, const RunRecord& run);

// The value a write of `text` leaves, with the NUL the registry adds.
SettingValue WrittenValue(const AnsiText& text);
