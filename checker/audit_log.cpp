#include "audit_log.h"

#include "host.h"
#include "shown_text.h"

namespace {

// Shared for reading and writing: other runs log, and anyone reads, meanwhile.
HANDLE OpenForAppending(const std::wstring& fileName) {
    return CreateFileW(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool CanAppendToLog(const std::wstring& fileName) {
    HANDLE file = OpenForAppending(fileName);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

Utf8Text CannotAppendReason(const std::wstring& fileName) {
    return "could not open the log " + ScreenName(fileName) + " for appending";
}

bool AppendLogLine(const std::wstring& fileName, const Utf8Text& text) {
    const std::string line = LocalTime("%04u-%02u-%02u %02u:%02u:%02u ") +
                             Utf8FromWide(ComputerName()) + " " + Utf8FromWide(UserName()) + " " +
                             Utf8OnOneLine(text) + "\r\n";
    HANDLE file = OpenForAppending(fileName);
    return file != INVALID_HANDLE_VALUE && WriteAndClose(file, line, false);
}
