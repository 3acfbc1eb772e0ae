// What a run read, planned, wrote and read back, and what it concludes: the
// one record every view of a run (screen lines, log, JSON) is made from.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rules.h"
#include "run_context.h"
#include "settings_store.h"

// One write of a run: planned (/whatif), made, or refused.
struct WriteRecord {
    SettingId setting;
    // Both in UTF-8, as the log and the document show them: the stored value
    // the write replaces, and the text written.
    std::string oldText;
    std::string newText;
    bool done;
};

struct RunRecord {
    explicit RunRecord(const RunContext& context) : context(context) {}

    const RunContext& context;
    bool valuesRead = false;  // `values` hold what the registry last gave
    SettingValue values[kSettingCount];
    std::vector<RuleCheck> checks;  // the rules on `values`
    int changeCount = 0;
    std::vector<WriteRecord> writes;    // in the order made or planned
    std::vector<std::string> problems;  // what is still wrong
    // Why the run failed, in UTF-8 (it may name a file as typed); empty while
    // it has not.
    std::string failure;
    REGSAM keysInOtherView = 0;  // a failed read found the keys in this view
    std::wstring backupFile;     // the backup written, once it is
};

// "; already written: A, B" for the writes made so far; empty for none.
std::string AlreadyWritten(const RunRecord& run);

// Why the run failed, as its RESULT line says it (UTF-8): the failure and,
// where the keys were found in the other registry view, that note.
std::string FailureReason(const RunRecord& run);

// "RESULT: ..." for the run as recorded, in UTF-8. A run that may write
// counts its changes when it ends compliant, and when it ends not compliant
// after writing.
std::string ResultLine(const RunRecord& run);

// 1 when the run failed; otherwise 0, or for an unattended run 0 compliant
// and 2 not compliant.
int ExitCode(const RunRecord& run);
