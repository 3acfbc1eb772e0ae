// Helpers shared by the RegistryKey implementation files; nobody else calls them.
#pragma once

#include <windows.h>

namespace registry_internal {

// Leaves `code` in the thread's last-error value and says whether it is success,
// so each path out of an operation sets the last error exactly once.
inline bool Report(LONG code) {
    SetLastError(static_cast<DWORD>(code));
    return code == ERROR_SUCCESS;
}

// First and last backslash of `text`, or null. The walk goes by CharNextA, so a
// double-byte character of the ANSI code page whose trail byte is 0x5C is one
// character and never a separator.
const char* FindFirstBackslash(const char* text);
const char* FindLastBackslash(const char* text);

}  // namespace registry_internal
