// A backup of registry values as a .reg file in the format `reg export`
// writes ("Windows Registry Editor Version 5.00", UTF-16LE with a byte-order
// mark, CRLF), which `reg import FILE` restores.
//
// Every value keeps its stored type and bytes: a REG_SZ whose bytes are its
// text and one terminating NUL is written as a quoted string; any other
// REG_SZ (no terminator, odd length, embedded NUL, a line break) as hex(1):
// with the bytes as stored. Note that reg import (Windows' and Wine's alike)
// adds a UTF-16 NUL to hex(1):, hex(2): and hex(7): data that does not end in
// one, so such a value comes back as its text plus a terminator.
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

// The whole file text, CRLF line ends, without the byte-order mark: the
// header, a comment naming the registry view `view` (0, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY) and the reg import call that restores `fileName` into it,
// then the settings grouped by key in the order their keys first appear, the
// keys of the 32-bit view on 64-bit Windows named through WOW6432Node.
std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          REGSAM view);

// Writes the backup through a temporary file in the same folder that is then
// renamed, so a half-written backup never stands under a backup's name. An
// existing file is never overwritten: where `fileName` stands, the backup
// goes beside it under the same name with the date and time added. The name
// used is put in `written`. False on any failure, with nothing left behind
// and the failing step's error code as the last error.
bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     REGSAM view, std::wstring* written);
