// What the tool asks of the system it runs on.
#pragma once

#include <windows.h>

#include <string>

bool QueryTokenElevation();

// Held until the process ends: two copies repairing at once could leave the suffixes different.
bool TakeSingleCopyLock();
inline constexpr char kAnotherCopyRunning[] = "another copy of Sorvane is running";

// "?" where unknown.
std::wstring ComputerName();
std::wstring UserName();

// The local time through `format`: year, month, day, hour, minute, second.
std::string LocalTime(const char* format);

// Closed whatever happens; `flush` first puts the bytes on the disk.
bool WriteAndClose(HANDLE file, const std::string& bytes, bool flush);

// Without the \\?\ or \\.\ that skips the usual name parsing: C:\f.reg and
// \\?\C:\f.reg are one file, whether it exists yet or not.
std::wstring FullName(const std::wstring& typed);

// Whether two file names, as typed, name one file: as the system resolves them
// (case, "." and "..", short names), or where both exist, by volume and file id.
bool NameSameFile(const std::wstring& first, const std::wstring& second);
