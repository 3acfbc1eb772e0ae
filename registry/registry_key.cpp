// RegistryKey core: construction, root names, opening by full path, key
// information, and string values.
#include "registry_key.h"

#include <cstring>

#include "registry_internal.h"

using registry_internal::Report;

namespace {

// The five root names and their predefined keys. Names and handles are each
// unique, so the table answers both ways (name to key, key to name) whatever
// its order.
const struct {
    const char* name;
    HKEY key;
} kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// The table name of `key`, or null for a handle outside the table.
const char* RootNameOf(HKEY key) {
    for (const auto& entry : kRoots) {
        if (key == entry.key) return entry.name;
    }
    return nullptr;
}

}  // namespace

namespace registry_internal {

const char* FindFirstBackslash(const char* text) {
    for (const char* p = text; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\') return p;
    }
    return nullptr;
}

const char* FindLastBackslash(const char* text) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p = NextChar(p)) {
        if (*p == '\\') last = p;
    }
    return last;
}

bool IsPredefinedRoot(HKEY key) { return RootNameOf(key) != nullptr; }

}  // namespace registry_internal

RegistryKey::RegistryKey() = default;

RegistryKey::~RegistryKey() {
    ReplaceRoot(nullptr);
    if (currentKey != nullptr) RegCloseKey(currentKey);
    delete[] subKeyNameBuffer;
    delete[] valueNameBuffer;
}

// Root names match byte for byte: no other letter case, no short forms. The
// names are plain ASCII, so a byte comparison is the exact multibyte comparison.
bool RegistryKey::ParseRootName(const char* name, HKEY* root) {
    *root = nullptr;
    for (const auto& entry : kRoots) {
        if (std::strcmp(name, entry.name) == 0) {
            *root = entry.key;
            return true;
        }
    }
    return false;
}

// Handles outside the five predefined keys leave `path` as it is.
void RegistryKey::SetPathToRoot() {
    const char* name = RootNameOf(rootKey);
    if (name != nullptr) std::strcpy(path, name);
}

// A root handed to AttachRoot that is not predefined belongs to the object
// from then on; whatever replaces it closes it, unless the object still uses
// that handle (as the new root or as the current key).
void RegistryKey::ReplaceRoot(HKEY root) {
    if (rootKey != nullptr && rootKey != root && rootKey != currentKey &&
        !registry_internal::IsPredefinedRoot(rootKey)) {
        RegCloseKey(rootKey);
    }
    rootKey = root;
}

// Cuts a full path, in the caller's working copy `work` (MaxPathLength + 1
// bytes), into its root key and the sub-key path after the first backslash
// (possibly empty). False for what the object refuses itself: a path too long
// for `path`, no backslash, a root name outside the table.
bool RegistryKey::SplitFullPath(const char* fullPath, char* work, HKEY* root, const char** subKey) {
    if (fullPath == nullptr || std::strlen(fullPath) > MaxPathLength) return false;
    std::strcpy(work, fullPath);
    char* separator = const_cast<char*>(registry_internal::FindFirstBackslash(work));
    if (separator == nullptr) return false;
    *separator = '\0';
    *subKey = separator + 1;
    return ParseRootName(work, root);
}

bool RegistryKey::Open(const char* fullPath) { return OpenByPath(fullPath, false, nullptr); }

// Every open and create asks for the object's access, full access unless the
// caller said otherwise, so the same object can read and write whatever the
// caller does next. The disposition of a create (new or merely opened) is of
// no use to callers: an existing key is simply opened, its class text kept.
LONG RegistryKey::OpenBelow(HKEY parent, const char* subKey, bool create, const char* classText,
                            HKEY* opened) const {
    if (!create) return RegOpenKeyExA(parent, subKey, 0, openAccess, opened);
    return RegCreateKeyExA(parent, subKey, 0, const_cast<char*>(classText), REG_OPTION_NON_VOLATILE,
                           openAccess, nullptr, opened, nullptr);
}

// Open and Create: the root named in the path replaces `rootKey` before the
// registry is asked, so a failed call has replaced it too.
bool RegistryKey::OpenByPath(const char* fullPath, bool create, const char* classText) {
    char work[MaxPathLength + 1];
    HKEY root;
    const char* subKey;
    if (!SplitFullPath(fullPath, work, &root, &subKey)) return Report(ERROR_INVALID_PARAMETER);
    ReplaceRoot(root);

    HKEY opened = nullptr;
    LONG result = OpenBelow(root, subKey, create, classText, &opened);
    if (result != ERROR_SUCCESS) return Report(result);

    AdoptKey(opened, fullPath);
    return true;
}

// Where Open, Create, the sub-key operations and OpenParent end once the
// registry has opened their key: it replaces the current key, `path` becomes
// its text, and the counters describe it. The last error is the refresh's
// code, so a caller that gets true can still tell whether the counters are
// the new key's.
void RegistryKey::AdoptKey(HKEY opened, const char* newPath) {
    if (currentKey != nullptr) RegCloseKey(currentKey);
    currentKey = opened;
    std::strcpy(path, newPath);
    RefreshInfo();
}

bool RegistryKey::RefreshInfo() {
    char classText[256];
    DWORD classSize = sizeof classText;
    LONG result =
        RegQueryInfoKeyA(currentKey, classText, &classSize, nullptr, &subKeyCount,
                         &maxSubKeyNameLength, &maxClassLength, &valueCount, &maxValueNameLength,
                         &maxValueDataLength, &securityDescriptorSize, &lastWriteTime);
    if (result == ERROR_SUCCESS) {
        classText[classSize < sizeof classText ? classSize : sizeof classText - 1] = '\0';
        std::strcpy(className, classText);
    }
    return Report(result);
}

bool RegistryKey::ReadValue(const char* valueName, BYTE* data, DWORD* dataSize) {
    return Report(RegQueryValueExA(currentKey, valueName, nullptr, nullptr, data, dataSize));
}

// The caller decides whether `byteCount` covers a terminating NUL.
bool RegistryKey::WriteString(const char* valueName, const BYTE* data, DWORD byteCount) {
    return Report(RegSetValueExA(currentKey, valueName, 0, REG_SZ, data, byteCount));
}
