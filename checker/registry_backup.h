// The backup: a .reg file as `reg export` writes it (UTF-16LE, byte-order mark,
// CRLF), each value with its stored type and bytes: a REG_SZ that is its text
// and one NUL as a quoted string, any other as hex(1):. reg import (Windows'
// and Wine's alike) adds a NUL to hex(1):, hex(2): and hex(7): data without one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registry_view.h"
#include "text_encoding.h"

struct StoredSetting {
    AnsiText keyPath;    // full path, HKEY_LOCAL_MACHINE\...
    AnsiText valueName;  // empty names the key's default value
    DWORD type;
    std::vector<BYTE> data;  // exactly as RegQueryValueExW returns it
};

// Without the byte-order mark; a comment names the reg import call to restore it.
std::wstring FormatBackup(const std::vector<StoredSetting>& settings, const std::wstring& fileName,
                          RegistryView view);

// Through a temporary file renamed at the end, so no half-written backup stands
// under a backup's name, and never over an existing file: the backup then goes
// beside it, dated, named in `written`. A folder (an existing one, or a name
// ending in \ or /) gets ldap-before-YYYYMMDD-HHMMSS.reg in it. False on any
// failure, leaving nothing.
bool WriteBackupFile(const std::wstring& fileName, const std::vector<StoredSetting>& settings,
                     RegistryView view, std::wstring* written);

// The backup this run wrote as `written`, written again whole in its place
// (through a temporary file): only ever over the run's own backup.
bool RewriteBackupFile(const std::wstring& written, const std::vector<StoredSetting>& settings,
                       RegistryView view);
