// The audit log of a run given /log: a UTF-8 file only ever appended to, one
// line per write, one naming the backup and one per run, each starting with
// the local date and time, the computer and the user. Each line goes out in
// one WriteFile on a handle opened for appending only, which the file system
// places at the end as a whole: many servers logging to one share never
// interleave.
#pragma once

#include <windows.h>

#include <string>

// Whether the run will be able to log, asked before the registry is read
// (the file is created when missing). Sets the last error.
bool CanAppendToLog(const std::wstring& fileName);

// Appends the prefix, `utf8Text` kept on one line, and CRLF. Sets the last error.
bool AppendLogLine(const std::wstring& fileName, const std::string& utf8Text);
