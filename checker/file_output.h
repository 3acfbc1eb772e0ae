// Writing a whole text to a file in one call, for the backup and the log.
#pragma once

#include <windows.h>

#include <string>

// Writes `bytes` to `file` in one WriteFile (so appends from several machines
// to one share never interleave within it), flushes it to the disk when asked,
// and closes it. The error code of the first step that failed, or
// ERROR_SUCCESS.
DWORD WriteAndClose(HANDLE file, const std::string& bytes, bool flush);

// Leaves `error` in the thread's last-error value and says whether it is
// ERROR_SUCCESS, so each path out of a file routine sets it exactly once.
inline bool Report(DWORD error) {
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
