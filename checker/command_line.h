// The command line, read once into the run's context, and its usage text.
#pragma once

#include <string>
#include <vector>

#include "run_context.h"

// As typed: the C runtime's ANSI argv maps them best-fit ("ｂ.reg" as "b.reg").
std::vector<std::wstring> TypedArguments();

// Switches begin with / or -, in any case, and take their value after the
// first colon; any other argument makes the interactive tool verbose, as always.
RunContext ParseCommandLine(const std::vector<std::wstring>& arguments);

void ShowUsage();
