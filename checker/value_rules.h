// What a value typed by the operator (or given on the command line) must be
// before it may be written: one word, short enough for a later read to take
// back, and text the registry stores exactly as typed.
#pragma once

#include <windows.h>

#include <string>

#include "texts.h"

// "ERROR - value <reason>, please <request>", as the dialogue prints it.
std::string RefusalLine(const Refusal& refusal);

// The refusal for `value`, or null when it may be written.
const Refusal* ValueRefusal(const std::string& value);

// True when `text` holds no control character and converts from the ANSI code
// page to Unicode and back unchanged: what the registry stores is what was typed.
bool IsStorableText(const std::string& text);
