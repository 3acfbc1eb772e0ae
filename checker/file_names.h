// Whether two file names, as typed, name one file.
#pragma once

#include <string>

// As the system resolves them (case, "." and "..", short names), or where both
// exist, by volume and file id (links too).
bool NameSameFile(const std::wstring& first, const std::wstring& second);
