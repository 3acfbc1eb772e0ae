// Replaces a key's access list with raw API calls, for the tests that lock a
// key and for regprobe's `dacl` command. Needs nothing beyond advapi32, so
// regprobe can build this file alone.
#pragma once

#include <windows.h>

// Which step of SetKeyAccessList failed.
enum class AccessListStep { kNone, kParse, kApply };

// Gives root\`subPath` the access list the SDDL text `sddl` describes ("D:P(A;;KR;;;WD)"),
// opening the key in `view` (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY). ERROR_SUCCESS, or
// the code of the step that failed, which `failedStep` names: kParse for text the platform
// would not read, kApply for a key that could not be opened or changed.
LONG SetKeyAccessList(HKEY root, const char* subPath, const char* sddl, REGSAM view,
                      AccessListStep* failedStep);
