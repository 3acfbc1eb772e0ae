#include "audit_log.h"

#include <cstdio>

#include "file_output.h"
#include "text_encoding.h"

namespace {

// Opened for appending only, so every write lands at the end of the file,
// wherever other writers have taken it meanwhile; shared for reading and
// writing, so other runs can log and anyone can read while this one does.
HANDLE OpenForAppending(const std::string& fileName) {
    if (fileName.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// "YYYY-MM-DD HH:MM:SS COMPUTER USER ", names in UTF-8; a name that cannot be
// had shows as "?".
std::string LinePrefix() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);

    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
    const std::string computerName = GetComputerNameW(computer, &computerLength)
                                         ? Utf8FromWide(computer, computerLength)
                                         : std::string("?");
    wchar_t user[257];  // UNLEN + 1
    DWORD userSize = 257;
    // The size returned counts the terminating NUL.
    const std::string userName = GetUserNameW(user, &userSize) && userSize > 0
                                     ? Utf8FromWide(user, userSize - 1)
                                     : std::string("?");
    return stamp + computerName + " " + userName + " ";
}

// Keeps one call's text on one line: control characters but the tab become
// <XX>. UTF-8 never uses bytes below 0x20 inside a character.
std::string OnOneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "<%02X>", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

bool CanAppendToLog(const std::string& fileName) {
    HANDLE file = OpenForAppending(fileName);
    if (file == INVALID_HANDLE_VALUE) return Report(GetLastError());
    CloseHandle(file);
    return Report(ERROR_SUCCESS);
}

bool AppendLogLine(const std::string& fileName, const std::string& utf8Text) {
    const std::string line = LinePrefix() + OnOneLine(utf8Text) + "\r\n";
    HANDLE file = OpenForAppending(fileName);
    if (file == INVALID_HANDLE_VALUE) return Report(GetLastError());
    return Report(WriteAndClose(file, line, false));
}
