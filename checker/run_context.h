// What one run is asked to do, settled once from the command line before
// anything is read and handed to every routine that needs part of it. The
// run's state lives here and in its RunRecord, never in globals, so runs in
// one process (as the tests make them) do not see each other.
#pragma once

#include <windows.h>

#include <string>

#include "command_line.h"

// The registry view of a run. Without /reg: it is the 32-bit view, where the
// 32-bit build looks on 64-bit Windows: that build gets it by asking for no
// view (under WoW64 its own view is the 32-bit one, and without WoW64 there is
// only one), while the 64-bit build must name it. RegistryKey itself keeps the
// platform's default; only the run asks for a view.
REGSAM RunView(REGSAM asked);

// Whether the process token is elevated, as the platform says.
bool QueryTokenElevation();

struct RunContext {
    RunMode mode = RunMode::Interactive;
    bool verbose = false;  // interactive only; VerboseMode is set from it
    bool whatIf = false;
    bool hasSuffix = false;
    std::string suffix;  // the /suffix: value a repair writes for Rule Two
    REGSAM view = 0;     // ORed into every open: 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY
    // The access the reads ask for: full access in the interactive run, as
    // every open there does; read-only in unattended runs, which then need no
    // more rights than reading where they only read. Writes always ask for
    // full access.
    REGSAM readAccess = KEY_ALL_ACCESS;
    std::string backupFile;  // empty: none
    std::string logFile;     // empty: none
    // Whether the process token is elevated; tests put their own answer here.
    bool (*processIsElevated)() = QueryTokenElevation;

    // /check or /repair: no notice, no wait for the operator, long values
    // shortened, and one RESULT line on the screen.
    bool Unattended() const { return mode == RunMode::Check || mode == RunMode::Repair; }
    // The interactive run and /repair without /whatif; their compliant RESULT
    // line counts the changes made.
    bool MayWrite() const {
        return mode == RunMode::Interactive || (mode == RunMode::Repair && !whatIf);
    }
};

// The context of a run with these options (mode Interactive, Check or Repair).
RunContext ContextFor(const CommandLine& options);
