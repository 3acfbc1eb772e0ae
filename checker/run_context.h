// What one run is asked to do, settled once from the command line. Never in
// globals, so runs in one process (as the tests make them) do not see each other.
#pragma once

#include <windows.h>

#include <string>

#include "console.h"
#include "host.h"

enum class RunMode { kInteractive, kUsage, kCheck, kRepair, kDsc };

// /dsc:get, /dsc:test, /dsc:set: what the configuration engine asks for.
enum class DscOperation { kNone, kGet, kTest, kSet };

// Without /reg: the 32-bit view, which the 32-bit build gets by asking for none
// and the 64-bit build must name. RegistryKey keeps the platform's default.
inline constexpr REGSAM kDefaultView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;

struct RunContext {
    RunMode mode = RunMode::kInteractive;
    bool verbose = false;  // interactive only; VerboseMode is set from it
    bool whatIf = false;
    DscOperation dscOperation = DscOperation::kNone;    // with RunMode::kDsc
    std::string suffix;                                 // the /suffix: value (ANSI); empty: none
    REGSAM view = kDefaultView;                         // ORed into every open
    bool json = false;                                  // standard output is one JSON document
    std::wstring backupFile;                            // as typed; empty: none
    std::wstring logFile;                               // as typed; empty: none
    std::string usageError;                             // the first, in one short sentence (UTF-8)
    bool (*processIsElevated)() = QueryTokenElevation;  // tests put their own answer here

    // /check or /repair: no notice, no wait, long values cut, a RESULT line.
    bool Unattended() const { return mode == RunMode::kCheck || mode == RunMode::kRepair; }
    // A check then needs no elevation where the keys' access lists allow reading.
    REGSAM ReadAccess() const { return Unattended() ? KEY_READ : KEY_ALL_ACCESS; }
    // /whatif writes nothing, not even to the log it is given.
    bool KeepsLog() const { return !logFile.empty() && !whatIf; }
    bool MayWrite() const {
        return mode == RunMode::kInteractive || (mode == RunMode::kRepair && !whatIf);
    }
};

// Unless the run's output is its JSON document.
inline void Show(const RunContext& context, const std::string& line) {
    if (!context.json) PrintLine(line);
}
