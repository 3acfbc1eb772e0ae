// What one run read, planned, wrote and read back, and its verdict. Every view
// of a run (its screen, the log, the JSON document, the DSC instance) is made
// from it.
#pragma once

#include <string>
#include <vector>

#include "rules.h"

// A write that mends a check, as the "A" write takes it.
struct PlannedWrite {
    SettingId setting;
    Rule rule;
    AnsiText text;
};

// Planned (/whatif), made, or refused.
struct WriteRecord {
    SettingId setting;
    Utf8Text oldText;  // the stored value the write replaces
    Utf8Text newText;
    bool done;
};

enum class Outcome { kCompliant, kNotCompliant, kFailed };

struct Verdict {
    Outcome outcome = Outcome::kFailed;
    int exitCode = 1;
    Utf8Text resultLine;  // "RESULT: ..."
};

struct RunRecord {
    // All of one read: the first, the one just before the writes, or the one after them.
    SettingValue values[kSettingCount];
    std::vector<RuleCheck> checks;  // the rules on `values`; none while those are not known
    int changeCount = 0;
    std::vector<WriteRecord> writes;  // in the order made or planned
    std::vector<Utf8Text> problems;   // what is still wrong
    Utf8Text failure;                 // empty while none
    std::wstring backupFile;          // the backup written, once it is
    Verdict verdict;                  // once the run has ended
};
