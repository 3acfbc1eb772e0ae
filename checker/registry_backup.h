// A backup of registry values as a .reg file as `reg export` writes it
// (UTF-16LE with a byte-order mark, CRLF), which `reg import FILE` restores.
// Every value keeps its stored type and bytes: a REG_SZ that is its text and
// one NUL as a quoted string, any other as hex(1):. reg import (Windows' and
// Wine's alike) adds a NUL to hex(1):, hex(2): and hex(7): data without one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct StoredSetting {
    std::string keyPath;    // full path, HKEY_LOCAL_MACHINE\... (ANSI)
    std::string valueName;  // ANSI; empty names the key's default value
    DWORD type;
    std::vector<BYTE> data;  // exactly as RegQueryValueExW returns it
};

// Without the byte-order mark; a comment names the view and the reg import
// call that restores `fileName` into it; keys in the order they first appear.
std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          REGSAM view);

// Through a temporary file renamed at the end, so no half-written backup
// stands under a backup's name, and never over an existing file: the backup
// then goes beside it with the date and time in its name, put in `written`.
// False on any failure, leaving nothing behind, with its error as the last error.
bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     REGSAM view, std::wstring* written);
