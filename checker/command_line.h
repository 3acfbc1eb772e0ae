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

// The run the arguments ask for. /? anywhere wins over everything else: the
// mode is then Usage with every other field at its default. A usage error is
// put in `usageError`, the first one found.
RunContext ParseCommandLine(const std::vector<std::wstring>& arguments);

// Prints the usage through PrintLine: the switches, the exit codes and one
// example call per fleet tool.
void ShowUsage();
