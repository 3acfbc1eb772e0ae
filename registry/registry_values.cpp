// RegistryKey values and walks: 32-bit and multi-string values, values as the
// registry stores them, deletion, and stepping through the sub-keys and the
// values of the current key. None of the value operations checks that a key is
// open: with none, the registry refuses the null handle and its code is what
// the caller gets.
#include <new>

#include "registry_internal.h"
#include "registry_key.h"

using registry_internal::Report;

namespace {

// The registry reports the longest name in characters, but the "A" functions
// write the name in the ANSI code page, where a double-byte character takes two
// bytes. Two bytes per character, plus the NUL, holds any name of that length.
DWORD NameBufferBytes(DWORD longestNameInCharacters) { return 2 * longestNameInCharacters + 1; }

// Replaces `*buffer` by a fresh one of `bytes`; false, with no buffer left
// behind, when the heap cannot give it.
bool Reallocate(char** buffer, DWORD bytes) {
    delete[] * buffer;
    *buffer = new (std::nothrow) char[bytes];
    return *buffer != nullptr;
}

}  // namespace

// Reads at most four bytes whatever the type; shorter data fills only its own
// bytes of `*value`.
bool RegistryKey::ReadDword(const char* valueName, DWORD* value) {
    DWORD size = sizeof(DWORD);
    return Report(RegQueryValueExA(currentKey, valueName, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(value), &size));
}

// The name goes to the "W" function in UTF-16, converted from the ANSI code
// page as the "A" functions would convert it, so the same name finds the same
// value; only the data skips the conversion back. A null name reads the key's
// default value, as it does for ReadValue.
bool RegistryKey::ReadStoredValue(const char* valueName, DWORD* type, BYTE* data, DWORD* dataSize) {
    wchar_t* wideName = nullptr;
    if (valueName != nullptr) {
        int characters = MultiByteToWideChar(CP_ACP, 0, valueName, -1, nullptr, 0);
        if (characters == 0) return Report(ERROR_INVALID_PARAMETER);
        wideName = new (std::nothrow) wchar_t[characters];
        if (wideName == nullptr) return Report(ERROR_NOT_ENOUGH_MEMORY);
        if (MultiByteToWideChar(CP_ACP, 0, valueName, -1, wideName, characters) == 0) {
            delete[] wideName;
            return Report(ERROR_INVALID_PARAMETER);
        }
    }
    LONG result = RegQueryValueExW(currentKey, wideName, nullptr, type, data, dataSize);
    delete[] wideName;
    return Report(result);
}

bool RegistryKey::WriteDword(const char* valueName, DWORD value) {
    return Report(RegSetValueExA(currentKey, valueName, 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&value), sizeof value));
}

// The caller builds the list (each text with its NUL, then the closing NUL)
// and counts it; the bytes are stored as they are.
bool RegistryKey::WriteMultiString(const char* valueName, const BYTE* data, DWORD byteCount) {
    return Report(RegSetValueExA(currentKey, valueName, 0, REG_MULTI_SZ, data, byteCount));
}

bool RegistryKey::DeleteValue(const char* valueName) {
    return Report(RegDeleteValueA(currentKey, valueName));
}

// RegDeleteKeyA works in the process's own registry view whatever view the
// current key was opened in; a view asked for through SetAccess must reach the
// delete too, or a 32-bit process would delete the other view's key.
bool RegistryKey::DeleteSubKey(const char* subKey) {
    const REGSAM view = openAccess & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (view == 0) return Report(RegDeleteKeyA(currentKey, subKey));
    return Report(RegDeleteKeyExA(currentKey, subKey, view, 0));
}

// Each step refreshes the key's information first, so the buffer fits the
// longest name the key has now, not when it was opened. The index moves on
// before the registry is asked: a failed step (a name that grew meanwhile, a
// missing key) is passed over, and the next step reports the following entry.
// A buffer the heap cannot give ends the step before the index moves, so the
// same entry is asked for again by the next step.
const char* RegistryKey::NextSubKey(bool restart) {
    DWORD size, step;
    if (!BeginWalkStep(restart, &subKeyIndex, maxSubKeyNameLength, &subKeyNameBuffer, &size,
                       &step)) {
        return nullptr;
    }
    FILETIME dropped;
    LONG result = RegEnumKeyExA(currentKey, step, subKeyNameBuffer, &size, nullptr, nullptr,
                                nullptr, &dropped);
    return Report(result) ? subKeyNameBuffer : nullptr;
}

const char* RegistryKey::NextValue(DWORD* type, BYTE* data, DWORD* dataSize, bool restart) {
    DWORD size, step;
    if (!BeginWalkStep(restart, &valueIndex, maxValueNameLength, &valueNameBuffer, &size, &step)) {
        return nullptr;
    }
    LONG result =
        RegEnumValueA(currentKey, step, valueNameBuffer, &size, nullptr, type, data, dataSize);
    return Report(result) ? valueNameBuffer : nullptr;
}

// `maxNameLength` is read after the refresh, which fills it.
bool RegistryKey::BeginWalkStep(bool restart, DWORD* index, const DWORD& maxNameLength,
                                char** buffer, DWORD* size, DWORD* step) {
    if (restart) *index = 0;
    RefreshInfo();
    *size = NameBufferBytes(maxNameLength);
    if (!Reallocate(buffer, *size)) return Report(ERROR_NOT_ENOUGH_MEMORY);
    *step = (*index)++;
    return true;
}
