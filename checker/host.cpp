#include "host.h"

#include <windows.h>

bool QueryTokenElevation() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

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

std::wstring ComputerName() {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(computer, &length) ? std::wstring(computer, length) : L"?";
}

std::wstring UserName() {
    wchar_t user[257];  // UNLEN + 1
    DWORD size = 257;
    // The size returned counts the terminating NUL.
    return GetUserNameW(user, &size) && size > 0 ? std::wstring(user, size - 1) : L"?";
}
