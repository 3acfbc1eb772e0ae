// What one run is asked to do, settled once from the command line. Never in
// globals, so runs in one process (as the tests make them) do not see each other.
#pragma once

#include <string>

#include "event_log.h"
#include "host.h"
#include "registry_view.h"
#include "text_encoding.h"

enum class RunMode { kInteractive, kUsage, kCheck, kRepair, kDsc };

// /dsc:get, /dsc:test, /dsc:set: what the configuration engine asks for.
enum class DscOperation { kNone, kGet, kTest, kSet };

struct RunContext {
    RunMode mode = RunMode::kInteractive;
    bool verbose = false;  // interactive only; VerboseMode is set from it
    bool whatIf = false;
    DscOperation dscOperation = DscOperation::kNone;    // with RunMode::kDsc
    AnsiText suffix;                                    // the /suffix: value; empty: none
    RegistryView view;                                  // the 32-bit one without /reg:
    bool json = false;                                  // standard output is one JSON document
    std::wstring backupFile;                            // as typed; empty: none
    std::wstring logFile;                               // as typed; empty: none
    Utf8Text usageError;                                // the first, in one short sentence
    bool (*processIsElevated)() = QueryTokenElevation;  // tests put their own answer here
    EventLogCalls eventLog;                             // and their own event log here
};
