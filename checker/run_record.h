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

// Planned (/whatif), made, or refused by the registry.
struct WriteRecord {
    SettingId setting;
    Utf8Text oldText;  // the stored value the write replaces
    Utf8Text newText;
    bool done;
    bool refused;
};

// Why a run failed, as callers branch on it: stable, and never read from the
// English reason beside it. Their names are the documented reasonId values.
enum class ReasonId {
    kNone,
    kUsageError,
    kAnotherCopyRunning,
    kKeysUnreadable,
    kNotWritable,
    kBackupNotWritten,
    kLogNotWritten,
    kNoInput,
};

const char* ReasonIdName(ReasonId id);  // "usageError", ...; null for kNone

struct Failure {
    ReasonId id = ReasonId::kNone;
    Utf8Text reason;  // one short sentence, for people
};

enum class Outcome { kCompliant, kNotCompliant, kFailed };

struct Verdict {
    Outcome outcome = Outcome::kFailed;
    int exitCode = 1;
    Utf8Text resultLine;  // "RESULT: ..."
};

struct RunRecord {
    // All of one read: the first, one made after the operator's last answer
    // before a write, or the one after the writes. Known while `checks` is not
    // empty. A dialogue that keeps no records takes each text it wrote as the
    // value now held, as it reads nothing again.
    SettingValue values[kSettingCount];
    std::vector<RuleCheck> checks;  // the rules on `values`
    int changeCount = 0;
    std::vector<WriteRecord> writes;  // in the order made or planned
    std::vector<Utf8Text> problems;   // what is still wrong
    Failure failure;
    std::wstring backupFile;  // the backup written, once it is
    Verdict verdict;          // once the run has ended

    bool Failed() const { return failure.id != ReasonId::kNone; }
};
