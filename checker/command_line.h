// Switches begin with / or -, in any case, and take their value after the
// first colon; any other argument makes the interactive tool verbose, as always.
#pragma once

#include <string>
#include <vector>

#include "run_context.h"

// The arguments after the program's name, as typed (UTF-16): the C runtime's
// ANSI argv maps them best-fit, so "ｂ.reg" would arrive as "b.reg".
std::vector<std::wstring> TypedArguments();

// The first usage error goes in `usageError`. /? with /check, /repair or
// /json is one: a fleet tool reads that call's exit code or document.
RunContext ParseCommandLine(const std::vector<std::wstring>& arguments);

void ShowUsage();
