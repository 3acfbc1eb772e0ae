#include "audit_log.h"

#include <cstdio>

#include "file_output.h"
#include "run_context.h"
#include "text_encoding.h"

namespace {

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
