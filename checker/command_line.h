// The tool's command line: the switches that fleet tools (Intune, ConfigMgr,
// Ansible, PowerShell remoting) pass for an unattended run, and the usage text.
//
// Switches begin with / or -, are matched without regard to case, and take
// their value after the first colon. Any argument that is not a switch keeps
// its old meaning: it selects the verbose interactive tool. Only /? changes
// the meaning of a run started by hand.
#pragma once

#include <string>
#include <vector>

#include "run_context.h"

// The arguments after the program's name, as typed (UTF-16). The C runtime
// hands main its arguments converted to the ANSI code page with best-fit
// mapping, so "/backup:C:\f\ｂ.reg" would arrive as "C:\f\b.reg", a file
// nobody named, and "/suffix:dc=дом" as "dc=???", a value nobody asked for.
std::vector<std::wstring> TypedArguments();

// The run the arguments ask for. /? shows the usage whatever else is given,
// but with /check, /repair or /json it is a usage error of that mode: such a
// call is made by a fleet tool that reads the exit code or the document. A usage error is
// put in `usageError`, the first one found.
RunContext ParseCommandLine(const std::vector<std::wstring>& arguments);

// Prints the usage through PrintLine: the switches, the exit codes and one
// example call per fleet tool.
void ShowUsage();
