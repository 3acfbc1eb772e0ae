// What one run is asked to do, settled once from the command line before
// anything is read and handed to every routine that needs part of it. The
// run's state lives here and in its RunRecord, never in globals, so runs in
// one process (as the tests make them) do not see each other.
#pragma once

#include <windows.h>

#include <string>

enum class RunMode { kInteractive, kUsage, kCheck, kRepair };

// The registry view of a run. Without /reg: it is the 32-bit view, where the
// 32-bit build looks on 64-bit Windows: that build gets it by asking for no
// view (under WoW64 its own view is the 32-bit one, and without WoW64 there is
// only one), while the 64-bit build must name it. RegistryKey itself keeps the
// platform's default; only the run asks for a view.
REGSAM RunView(REGSAM asked);

// Whether the process token is elevated, as the platform says.
bool QueryTokenElevation();

struct RunContext {
    RunMode mode = RunMode::kInteractive;
    bool verbose = false;  // interactive only; VerboseMode is set from it
    bool whatIf = false;
    bool hasSuffix = false;
    std::string suffix;        // the /suffix: value a repair writes for Rule Two (ANSI)
    REGSAM view = RunView(0);  // ORed into every open
    // The access the reads ask for: full access in the interactive run, as
    // every open there does; read-only in unattended runs, which then need no
    // more rights than reading where they only read. Writes always ask for
    // full access.
    REGSAM readAccess = KEY_ALL_ACCESS;
    bool json = false;        // /json: standard output is one JSON document
    std::wstring backupFile;  // as typed; empty: none
    std::wstring logFile;     // as typed; empty: none
    // Non-empty: a usage error, one short sentence (UTF-8) saying what is
    // wrong; the other fields then hold what could be told, mode included.
    std::string usageError;
    // Whether the process token is elevated; tests put their own answer here.
    bool (*processIsElevated)() = QueryTokenElevation;

    // /check or /repair: no notice, no wait for the operator, long values
    // shortened, and one RESULT line on the screen.
    bool Unattended() const { return mode == RunMode::kCheck || mode == RunMode::kRepair; }
    // The interactive run and /repair without /whatif; their compliant RESULT
    // line counts the changes made.
    bool MayWrite() const {
        return mode == RunMode::kInteractive || (mode == RunMode::kRepair && !whatIf);
    }
};

// Prints `line` (ANSI) unless the run's output is its JSON document.
void Show(const RunContext& context, const std::string& line);

// Where and by whom the run is made, as the log lines and the JSON document
// name them; "?" where the system cannot say.
std::wstring ComputerName();
std::wstring UserName();
