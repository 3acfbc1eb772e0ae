#include "single_copy.h"

#include <windows.h>

namespace {

const char* const kGlobalName = "Global\\Sorvane.LdapSettings";
const char* const kSessionName = "Local\\Sorvane.LdapSettings";

}  // namespace

// The mutex handle is never closed: it is the lock, and the system releases it
// when the process ends, however it ends.
bool TakeSingleCopyLock() {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kGlobalName);
    // An account that may not create global objects (no SeCreateGlobalPrivilege,
    // as in some remote sessions) still keeps copies in its own session apart.
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = CreateMutexA(nullptr, FALSE, kSessionName);
    }
    // Denied in both namespaces: a copy of another account holds the lock.
    return mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}
