// The /log: lines in UTF-8, each stamped with the time, the computer and the
// user, appended by any number of runs (servers logging to one share).
#pragma once

#include <string>

#include "text_encoding.h"

// Asked before the registry is read (the file is created when missing).
bool CanAppendToLog(const std::wstring& fileName);
Utf8Text CannotAppendReason(const std::wstring& fileName);  // when it cannot

// In one WriteFile, appending only: servers logging to one share never interleave.
bool AppendLogLine(const std::wstring& fileName, const Utf8Text& text);
