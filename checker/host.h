// What the tool asks of the system it runs on.
#pragma once

#include <string>

bool QueryTokenElevation();

// Held until the process ends: two copies repairing at once could leave the suffixes different.
bool TakeSingleCopyLock();
inline constexpr char kAnotherCopyRunning[] = "another copy of Sorvane is running";

// "?" where unknown.
std::wstring ComputerName();
std::wstring UserName();
