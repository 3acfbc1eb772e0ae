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

// Whether two file names, as typed, name one file: as the system resolves them
// (case, "." and "..", short names), or where both exist, by volume and file id.
bool NameSameFile(const std::wstring& first, const std::wstring& second);

// One WriteFile, so appends from several machines to one share never
// interleave, flushed when asked, and closed. The first step's error, if any.
DWORD WriteAndClose(HANDLE file, const std::string& bytes, bool flush);

// Each path out of a file routine sets the last error exactly once, through this.
inline bool Report(DWORD error) {
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
