// Helpers shared by the RegistryKey implementation files; nobody else calls them.
#pragma once

#include <windows.h>

namespace registry_internal {

// Leaves `code` in the thread's last-error value and says whether it is success,
// so each path out of an operation sets the last error exactly once.
inline bool Report(LONG code) {
    SetLastError(static_cast<DWORD>(code));
    return code == ERROR_SUCCESS;
}

// The character after the one at `text`: a lead byte of the ANSI code page and
// its trail byte are one character, as CharNextA counts them. CharNextA itself
// lives in user32, and linking user32 only for it makes every start of the
// console tool load and initialise the windowing library: under Wine that alone
// costs about as much again as the rest of a whole run.
inline const char* NextChar(const char* text) {
    return IsDBCSLeadByte(static_cast<BYTE>(*text)) && text[1] != '\0' ? text + 2 : text + 1;
}

// First and last backslash of `text`, or null. The walk goes by NextChar, so a
// double-byte character of the ANSI code page whose trail byte is 0x5C is one
// character and never a separator.
const char* FindFirstBackslash(const char* text);
const char* FindLastBackslash(const char* text);

// Whether `key` is one of the five predefined keys of the root-name table.
// The object never owns those: they are never closed when replaced, and
// opening one with no sub-key hands back the key itself.
bool IsPredefinedRoot(HKEY key);

}  // namespace registry_internal
