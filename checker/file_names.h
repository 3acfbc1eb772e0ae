// File names as typed. The C runtime hands main its arguments in the ANSI code
// page with best-fit mapping, so "/backup:C:\f\ｂ.reg" arrives as
// "C:\f\b.reg", a file nobody named; the file functions take the UTF-16 name.
#pragma once

#include <string>

// Argument `index` as typed (UTF-16); empty when the runtime cannot say.
std::wstring TypedArgument(int index);

// True when the two names, as the system resolves them (case, "." and "..",
// short names), name one file; where both exist, when they are the same file
// (one volume and file id: links too).
bool NameSameFile(const std::wstring& first, const std::wstring& second);
