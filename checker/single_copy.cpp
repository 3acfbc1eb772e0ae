#include "single_copy.h"

#include <windows.h>

// The mutex handle is never closed: it is the lock, and the system releases it
// when the process ends, however it ends.
bool TakeSingleCopyLock() {
    const char* const kGlobalName = "Global\\Sorvane.LdapSettings";
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kGlobalName);
    if (mutex != nullptr) return GetLastError() != ERROR_ALREADY_EXISTS;
    if (GetLastError() != ERROR_ACCESS_DENIED) return false;
    // Denied: the lock of another account's copy, or no right to create global
    // objects (some remote sessions); only where there is no lock, one per session.
    if (OpenMutexA(SYNCHRONIZE, FALSE, kGlobalName) != nullptr ||
        GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    mutex = CreateMutexA(nullptr, FALSE, "Local\\Sorvane.LdapSettings");
    return mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}
