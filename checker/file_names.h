// Whether two file names, as typed, name one file.
#pragma once

#include <string>

// True when the two names, as the system resolves them (case, "." and "..",
// short names), name one file; where both exist, when they are the same file
// (one volume and file id: links too).
bool NameSameFile(const std::wstring& first, const std::wstring& second);
