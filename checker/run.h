// One run for every front end: read, check, plan the writes, back up, log,
// write, read back and judge, all into one RunRecord. The run tests no mode:
// its front end hands it a screen and names its policies.
#pragma once

#include "run_record.h"
#include "screen.h"

inline constexpr char kResultFailed[] = "RESULT: failed - ";

enum Policy : unsigned {
    kMends = 1,               // plans the writes that mend what fails
    kWrites = 2,              // and makes them (not so /whatif)
    kWritesPerCheck = 4,      // as each check is settled, not all after the checks
    kRewritesHeldValues = 8,  // a value that holds its text already is written too
    kSuffixIsDesired = 16,    // written also where the two suffixes agree on another
    kKeepsRecords = 32,       // reads again just before the first write, and back after
    kExits2WhenNotCompliant = 64,
};

struct FrontEnd {
    FrontEnd(Screen& screen, const KeyAccess& access) : screen(screen), access(access) {}

    Screen& screen;
    KeyAccess access;
    unsigned policies = 0;
    bool verbose = false;                        // VerboseMode
    AnsiText suffix;                             // Rule Two's text; empty: none (the dialogue asks)
    const char* unmendedSuffix = "";             // said after Rule Two's problem, when it stays
    const char* viewNamed[2] = {"(/reg:", ")"};  // around "64": how the user names a view
    std::wstring backupFile;                     // empty: none
    std::wstring logFile;                        // empty: none
};

// Rule One's "Yes" and Rule Two's `suffix` wherever a check that fails (or,
// desired, Rule Two's) needs them: pure, so each policy is a row of a table.
std::vector<PlannedWrite> PlanWrites(const std::vector<RuleCheck>& checks,
                                     const SettingValue values[kSettingCount],
                                     const AnsiText& suffix, unsigned policies);

// The run into `run`, its RESULT line logged, its verdict in `run->verdict`.
void CheckAndRepair(const FrontEnd& frontEnd, RunRecord* run);

// The verdict of a run that has ended; counts its changes where it may write.
void Judge(unsigned policies, RunRecord* run);
