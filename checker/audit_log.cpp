#include "run_files.h"

#include <cstdio>
#include <vector>

#include "run_context.h"
#include "text_encoding.h"

namespace {

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

// Shared for reading and writing: other runs log, and anyone reads, meanwhile.
HANDLE OpenForAppending(const std::wstring& fileName) {
    if (fileName.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string LinePrefix() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return stamp + Utf8FromWide(ComputerName()) + " " + Utf8FromWide(UserName()) + " ";
}

}  // namespace

bool CanAppendToLog(const std::wstring& fileName) {
    HANDLE file = OpenForAppending(fileName);
    if (file == INVALID_HANDLE_VALUE) return Report(GetLastError());
    CloseHandle(file);
    return Report(ERROR_SUCCESS);
}

bool AppendLogLine(const std::wstring& fileName, const std::string& utf8Text) {
    const std::string line = LinePrefix() + OnOneLine(utf8Text) + "\r\n";
    HANDLE file = OpenForAppending(fileName);
    if (file == INVALID_HANDLE_VALUE) return Report(GetLastError());
    return Report(WriteAndClose(file, line, false));
}

DWORD WriteAndClose(HANDLE file, const std::string& bytes, bool flush) {
    DWORD error = ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = GetLastError();
    } else if (written != bytes.size()) {
        error = ERROR_WRITE_FAULT;
    } else if (flush && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    return error;
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
