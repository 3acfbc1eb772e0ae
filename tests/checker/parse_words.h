// The checker tests' command lines, written as one string.
#pragma once

#include <string>

#include "command_line.h"

// The command line of `text`, split at spaces, as the arguments after the
// program's name.
RunContext ParseWords(const std::string& text);
