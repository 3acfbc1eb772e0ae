// The /log file: UTF-8 lines only ever appended, each in one WriteFile on a
// handle opened for appending only, so servers logging to one share never interleave.
#pragma once

#include <windows.h>

#include <string>

// Whether the run will be able to log, asked before the registry is read
// (the file is created when missing). Sets the last error.
bool CanAppendToLog(const std::wstring& fileName);

// Appends the prefix, `utf8Text` kept on one line, and CRLF. Sets the last error.
bool AppendLogLine(const std::wstring& fileName, const std::string& utf8Text);
