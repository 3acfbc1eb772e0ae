// The files a run keeps: the /log, in UTF-8, and the backup, a .reg file as `reg export` writes
// it (UTF-16LE, byte-order mark, CRLF), each value with its stored type and bytes: a REG_SZ that
// is its text and one NUL as a quoted string, any other as hex(1):. reg import (Windows' and
// Wine's alike) adds a NUL to hex(1):, hex(2): and hex(7): data without one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Asked before the registry is read (the file is created when missing).
bool CanAppendToLog(const std::wstring& fileName);
std::string CannotAppendReason(const std::wstring& fileName);  // UTF-8, when it cannot

// In one WriteFile, appending only: servers logging to one share never interleave.
bool AppendLogLine(const std::wstring& fileName, const std::string& utf8Text);

// A value as the log quotes it: a quote or a backslash in it is escaped with a
// backslash (and a control character as <0D>), so no value can close the quotes
// and forge the rest of a line.
std::string LogQuoted(const std::string& utf8);

struct StoredSetting {
    std::string keyPath;    // full path, HKEY_LOCAL_MACHINE\... (ANSI)
    std::string valueName;  // ANSI; empty names the key's default value
    DWORD type;
    std::vector<BYTE> data;  // exactly as RegQueryValueExW returns it
};

// Without the byte-order mark; a comment names the reg import call to restore it.
std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          REGSAM view);

// Through a temporary file renamed at the end, so no half-written backup stands
// under a backup's name, and never over an existing file: the backup then goes
// beside it, dated, named in `written`. A folder (an existing one, or a name
// ending in \ or /) gets ldap-before-YYYYMMDD-HHMMSS.reg in it. False on any
// failure, leaving nothing.
bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     REGSAM view, std::wstring* written);

// Whether two file names, as typed, name one file: as the system resolves them
// (case, "." and "..", short names), or where both exist, by volume and file id.
bool NameSameFile(const std::wstring& first, const std::wstring& second);
