// Privileges and hive files: SetPrivilege, and saving or loading a key as a hive
// file with the backup or restore privilege switched on around the registry call.
#include "registry_key.h"

#include <iostream>

#include "registry_internal.h"

using registry_internal::Report;

namespace {

const char* const kOpenTokenFailed = "Error in SetPrivilege (";
const char* const kLookupFailed = "Error in LookupPrivilegeValue (";
const char* const kAdjustFailed = "Cannot adjust token privilege (";

const char* const kBackupPrivilege = "SeBackupPrivilege";
const char* const kRestorePrivilege = "SeRestorePrivilege";

// The code is passed in because it must be read right after the failing call:
// writing to the console may change the last error.
void PrintFailure(const char* message, DWORD code) {
    std::cout << message << code << ")" << std::endl;
}

}  // namespace

bool SetPrivilege(const char* privilegeName, BOOL enable) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        PrintFailure(kOpenTokenFailed, GetLastError());
        return false;
    }

    bool adjusted = false;
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(nullptr, privilegeName, &privileges.Privileges[0].Luid)) {
        PrintFailure(kLookupFailed, GetLastError());
    } else {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        // A non-zero result is success even when the token lacks the privilege
        // (the call then leaves ERROR_NOT_ALL_ASSIGNED): the registry call that
        // follows reports the refusal with its own code.
        if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) {
            PrintFailure(kAdjustFailed, GetLastError());
        } else {
            adjusted = true;
        }
    }
    // One token handle per call would otherwise leak for the life of the process.
    CloseHandle(token);
    return adjusted;
}

// Switching the privilege off runs token calls after the save; the save's own
// code is set again last, so the caller reads it whatever those calls left.
bool RegistryKey::SaveToFile(const char* fileName, HKEY key) {
    if (fileName == nullptr) return Report(ERROR_INVALID_PARAMETER);
    if (key == nullptr) key = currentKey;
    if (!SetPrivilege(kBackupPrivilege, TRUE)) return Report(ERROR_PRIVILEGE_NOT_HELD);
    LONG result = RegSaveKeyA(key, fileName, nullptr);
    SetPrivilege(kBackupPrivilege, FALSE);
    return Report(result);
}

bool RegistryKey::LoadFromFile(const char* subKey, const char* fileName, HKEY key) {
    if (fileName == nullptr || subKey == nullptr) return Report(ERROR_INVALID_PARAMETER);
    if (key == nullptr) key = currentKey;
    if (!SetPrivilege(kRestorePrivilege, TRUE)) return Report(ERROR_PRIVILEGE_NOT_HELD);
    LONG result = RegLoadKeyA(key, subKey, fileName);
    SetPrivilege(kRestorePrivilege, FALSE);
    return Report(result);
}
