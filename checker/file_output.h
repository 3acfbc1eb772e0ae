// Writing a whole text to a file in one call, for the backup and the log.
#pragma once

#include <windows.h>

#include <string>

// One WriteFile (appends from several machines to one share never
// interleave), flushed when asked, and closed. The first step's error, if any.
DWORD WriteAndClose(HANDLE file, const std::string& bytes, bool flush);

// Each path out of a file routine sets the last error exactly once, through this.
inline bool Report(DWORD error) {
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
