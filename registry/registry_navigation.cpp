// RegistryKey navigation: creating a key by full path, opening and creating
// sub-keys, climbing to the parent, and standing on a root key itself. Each
// keeps `path` equal to the current key's text, because OpenParent works on
// that text alone.
#include <cstring>

#include "registry_internal.h"
#include "registry_key.h"

using registry_internal::Report;

namespace {

// A sub-key is refused up front when "<path>\<subKey>" would not fit the path
// field: appending after a successful open could not be undone.
bool JoinedPathFits(const char* path, const char* subKey) {
    return subKey != nullptr &&
           std::strlen(path) + 1 + std::strlen(subKey) <= RegistryKey::MaxPathLength;
}

void AppendSubKey(char* path, const char* subKey) {
    std::strcat(path, "\\");
    std::strcat(path, subKey);
}

}  // namespace

bool RegistryKey::Create(const char* fullPath, const char* classText) {
    char work[MaxPathLength + 1];
    HKEY root;
    const char* subKey;
    if (!SplitFullPath(fullPath, work, &root, &subKey)) return Report(ERROR_INVALID_PARAMETER);
    rootKey = root;

    // The disposition (created or merely opened) is of no use to callers: an
    // existing key is simply opened, and its class text stays what it was.
    HKEY created = nullptr;
    LONG result =
        RegCreateKeyExA(root, subKey, 0, const_cast<char*>(classText), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &created, nullptr);
    if (result != ERROR_SUCCESS) return Report(result);

    if (currentKey != nullptr) RegCloseKey(currentKey);
    currentKey = created;
    std::strcpy(path, fullPath);
    RefreshInfo();
    return true;
}

bool RegistryKey::OpenSubKey(const char* subKey) {
    if (currentKey == nullptr || !JoinedPathFits(path, subKey)) {
        return Report(ERROR_INVALID_PARAMETER);
    }
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(currentKey, subKey, 0, KEY_ALL_ACCESS, &opened);
    if (result != ERROR_SUCCESS) return Report(result);

    RegCloseKey(currentKey);
    currentKey = opened;
    AppendSubKey(path, subKey);
    RefreshInfo();
    return true;
}

bool RegistryKey::CreateSubKey(const char* subKey, const char* classText) {
    if (currentKey == nullptr || !JoinedPathFits(path, subKey)) {
        return Report(ERROR_INVALID_PARAMETER);
    }
    HKEY created = nullptr;
    LONG result =
        RegCreateKeyExA(currentKey, subKey, 0, const_cast<char*>(classText),
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created, nullptr);
    if (result != ERROR_SUCCESS) return Report(result);

    RegCloseKey(currentKey);
    currentKey = created;
    AppendSubKey(path, subKey);
    RefreshInfo();
    return true;
}

// The parent is found on the text of `path` and opened from the root with its
// whole path, so the new `path` starts with the table name of `rootKey`.
bool RegistryKey::OpenParent() {
    // Before any key was held `path` means nothing; climbing it would be a guess.
    if (currentKey == nullptr) return Report(ERROR_INVALID_PARAMETER);

    const char* first = registry_internal::FindFirstBackslash(path);
    // Already at a root: a plain "no", with the caller's last error untouched.
    if (first == nullptr) return false;
    if (first == registry_internal::FindLastBackslash(path)) return AttachRoot(rootKey);

    char parent[MaxPathLength + 1];
    std::strcpy(parent, first + 1);
    *const_cast<char*>(registry_internal::FindLastBackslash(parent)) = '\0';

    // After a failed Open or Create `rootKey` may be another root than the one
    // `path` names, with a longer name; the new text is composed and measured
    // before the registry is asked, so a refusal leaves everything as it was.
    char current[MaxPathLength + 1];
    std::strcpy(current, path);
    path[0] = '\0';
    SetPathToRoot();
    char rebuilt[MaxPathLength + 1];
    bool fits = std::strlen(path) + 1 + std::strlen(parent) <= MaxPathLength;
    if (fits) {
        std::strcpy(rebuilt, path);
        AppendSubKey(rebuilt, parent);
    }
    std::strcpy(path, current);
    if (!fits) return Report(ERROR_INVALID_PARAMETER);

    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(rootKey, parent, 0, KEY_ALL_ACCESS, &opened);
    if (result != ERROR_SUCCESS) return Report(result);

    RegCloseKey(currentKey);
    currentKey = opened;
    std::strcpy(path, rebuilt);
    RefreshInfo();
    return true;
}

// The handle handed in becomes the object's root and is never closed here,
// even when it is the root or the current key the object already holds: that
// is how OpenParent climbs to a root handle that is not predefined without
// closing the very handle it keeps.
bool RegistryKey::AttachRoot(HKEY root) {
    // No access rights: a root key is a place to stand and to open from.
    HKEY attached = nullptr;
    LONG result = RegOpenKeyExA(root, nullptr, 0, 0, &attached);
    if (result != ERROR_SUCCESS) return Report(result);

    if (currentKey != nullptr && currentKey != root) RegCloseKey(currentKey);
    if (rootKey != nullptr && rootKey != root) RegCloseKey(rootKey);
    rootKey = root;
    currentKey = attached;
    // A handle outside the table of root names has no name: its path is the
    // empty text, and keys below it read "\child\grandchild". The previous
    // key's text must not survive as though it were still current.
    path[0] = '\0';
    SetPathToRoot();
    RefreshInfo();
    return true;
}
