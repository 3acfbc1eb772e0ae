// The audit log of a run given /log: a UTF-8 text file that is only ever
// appended to, one line per registry write, one naming the backup and one
// per run, each line prefixed with the local date and time, the computer
// name and the user name.
//
// Many servers may log to one file on a share: each line goes out in a single
// WriteFile on a handle opened for appending only (FILE_APPEND_DATA), which
// the file system places at the end as a whole, so lines never interleave.
#pragma once

#include <windows.h>

#include <string>

// Opens `fileName` for appending, creating it when missing, and closes it
// again: whether the run will be able to log, asked before the registry is
// read. False when it cannot, with the platform's error code as last error.
bool CanAppendToLog(const std::wstring& fileName);

// Appends "YYYY-MM-DD HH:MM:SS COMPUTER USER " + `utf8Text` + CRLF in one
// write. Line breaks and other control characters but the tab in `utf8Text`
// are written as <0D>, <0A> and so on, so one call is always one line. False
// when the file cannot be opened or written, with the error code as last
// error.
bool AppendLogLine(const std::wstring& fileName, const std::string& utf8Text);
