// The tool's command line: the switches that fleet tools (Intune, ConfigMgr,
// Ansible, PowerShell remoting) pass for an unattended run, and the usage text.
//
// Switches begin with / or -, are matched without regard to case, and take
// their value after the first colon. Any argument that is not a switch keeps
// today's meaning: it selects the verbose interactive tool. Only /? changes
// the meaning of a run started by hand.
#pragma once

#include <windows.h>

#include <string>

enum class RunMode { Interactive, Usage, Check, Repair };

struct CommandLine {
    RunMode mode = RunMode::Interactive;
    bool verbose = false;  // interactive only: an argument that is no switch was given
    bool whatIf = false;
    bool hasSuffix = false;
    std::string suffix;      // as given; its content is checked by the run
    int suffixArgument = 0;  // where /suffix: stands among the arguments
    bool json = false;       // /json: the whole output is one JSON document
    std::string backupFile;  // empty: no backup (as the C runtime hands it over:
    std::string logFile;     // empty: no log      main takes the names as typed)
    int backupArgument = 0;  // where /backup: and /log: stand among the arguments
    int logArgument = 0;
    std::wstring typedBackupFile;  // the two names as typed (UTF-16), when main
    std::wstring typedLogFile;     // could have them; the run prefers these
    REGSAM view = 0;               // 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY
    // Non-empty: a usage error, one short sentence saying what is wrong. The
    // other fields then hold what could be told, mode included.
    std::string error;
};

// `arguments[0]` is the program. /? anywhere wins over everything else: the
// result is then mode Usage with every other field at its default.
CommandLine ParseCommandLine(int argumentCount, const char* const* arguments);

// Prints the usage through PrintLine: the switches, the exit codes and one
// example call per fleet tool.
void ShowUsage();
