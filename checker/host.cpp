#include "host.h"

#include <cstdio>
#include <vector>

namespace {

// The long form of `name`, or of its folder where the file does not exist yet.
std::wstring LongName(const std::wstring& full) {
    std::vector<wchar_t> buffer(32768);
    const DWORD size = static_cast<DWORD>(buffer.size());
    DWORD length = GetLongPathNameW(full.c_str(), buffer.data(), size);
    if (length > 0 && length < size) return std::wstring(buffer.data(), length);
    const size_t slash = full.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return full;
    const std::wstring folder = full.substr(0, slash);
    length = GetLongPathNameW(folder.c_str(), buffer.data(), size);
    if (length == 0 || length >= size) return full;
    return std::wstring(buffer.data(), length) + full.substr(slash);
}

bool FileId(const std::wstring& name, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

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

// The local time through `format`: year, month, day, hour, minute, second.
std::string LocalTime(const char* format) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, format, now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return stamp;
}

bool WriteAndClose(HANDLE file, const std::string& bytes, bool flush) {
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && (!flush || FlushFileBuffers(file));
    return CloseHandle(file) && ok;
}

// Without the \\?\ or \\.\ that skips the usual name parsing: C:\f.reg and
// \\?\C:\f.reg are one file, whether it exists yet or not.
std::wstring FullName(const std::wstring& typed) {
    std::wstring name = typed;
    if (name.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        name = L"\\\\" + name.substr(8);
    } else if (name.compare(0, 4, L"\\\\?\\") == 0 || name.compare(0, 4, L"\\\\.\\") == 0) {
        name = name.substr(4);
    }
    std::vector<wchar_t> full(32768);  // the longest path the system takes
    const DWORD size = static_cast<DWORD>(full.size());
    const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    return length > 0 && length < size ? std::wstring(full.data(), length) : name;
}

bool NameSameFile(const std::wstring& first, const std::wstring& second) {
    const std::wstring a = LongName(FullName(first));
    const std::wstring b = LongName(FullName(second));
    if (CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                             static_cast<int>(b.size()), TRUE) == CSTR_EQUAL) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION one, other;
    return FileId(a, &one) && FileId(b, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}
