// What a run read, planned, wrote and read back, and what it concludes: the
// one record every view of a run (screen lines, log, JSON) is made from.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rules.h"
#include "run_context.h"
#include "settings_store.h"

// A write planned (/whatif), made, or refused; the texts in UTF-8.
struct WriteRecord {
    SettingId setting;
    std::string oldText;  // the stored value the write replaces
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
    std::string failure;                // UTF-8 (it may name a file); empty while none
    REGSAM keysInOtherView = 0;         // a failed read found the keys in this view
    std::wstring backupFile;            // the backup written, once it is
};

// The failure, with a note where the keys are in the other view (UTF-8).
inline std::string FailureReason(const RunRecord& run) {
    if (run.keysInOtherView == 0) return run.failure;
    const char* bits = run.keysInOtherView == KEY_WOW64_64KEY ? "64" : "32";
    return run.failure + "; the keys are in the " + bits + "-bit registry view (/reg:" + bits + ")";
}
