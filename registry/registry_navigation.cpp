// RegistryKey navigation: creating a key by full path, opening and creating
// sub-keys, climbing to the parent, and standing on a root key itself. Each
// keeps `path` equal to the current key's text, because OpenParent works on
// that text alone.
#include <cstring>

#include "registry_internal.h"
#include "registry_key.h"

using registry_internal::Report;

namespace {

// Composes "<path>\<subKey>" in `joined` (MaxPathLength + 1 bytes). A sub-key
// is refused up front, before the registry is asked, when that text would not
// fit the path field: a key opened or created first could not be given it.
bool JoinSubKey(const char* path, const char* subKey, char* joined) {
    if (subKey == nullptr ||
        std::strlen(path) + 1 + std::strlen(subKey) > RegistryKey::MaxPathLength) {
        return false;
    }
    std::strcpy(joined, path);
    std::strcat(joined, "\\");
    std::strcat(joined, subKey);
    return true;
}

}  // namespace

bool RegistryKey::Create(const char* fullPath, const char* classText) {
    return OpenByPath(fullPath, true, classText);
}

bool RegistryKey::OpenSubKey(const char* subKey) { return OpenRelative(subKey, false, nullptr); }

bool RegistryKey::CreateSubKey(const char* subKey, const char* classText) {
    return OpenRelative(subKey, true, classText);
}

bool RegistryKey::OpenRelative(const char* subKey, bool create, const char* classText) {
    char joined[MaxPathLength + 1];
    if (currentKey == nullptr || !JoinSubKey(path, subKey, joined)) {
        return Report(ERROR_INVALID_PARAMETER);
    }
    HKEY opened = nullptr;
    LONG result = OpenBelow(currentKey, subKey, create, classText, &opened);
    if (result != ERROR_SUCCESS) return Report(result);

    AdoptKey(opened, joined);
    return true;
}

// The parent is found on the text of `path` and opened with its whole path from
// the root that text names. That need not be `rootKey`: a failed Open or Create
// replaces the root before it asks the registry, and climbing under that one
// would walk into another hive, where the next write would land.
bool RegistryKey::OpenParent() {
    // Before any key was held `path` means nothing; climbing it would be a guess.
    if (currentKey == nullptr) return Report(ERROR_INVALID_PARAMETER);

    const char* first = registry_internal::FindFirstBackslash(path);
    // Already at a root: a plain "no", with the caller's last error untouched.
    if (first == nullptr) return false;

    // A path that starts with a backslash hangs below an attached root that is
    // not predefined. Once a predefined root has replaced that one (the handle
    // is closed then), nothing tells where the path is any more.
    HKEY root;
    if (first == path) {
        if (rootKey == nullptr || registry_internal::IsPredefinedRoot(rootKey)) {
            return Report(ERROR_INVALID_PARAMETER);
        }
        root = rootKey;
    } else {
        char rootName[MaxPathLength + 1];
        std::memcpy(rootName, path, first - path);
        rootName[first - path] = '\0';
        if (!ParseRootName(rootName, &root)) return Report(ERROR_INVALID_PARAMETER);
    }
    const char* last = registry_internal::FindLastBackslash(path);
    if (first == last) return AttachRoot(root);

    // The parent's text is the head of `path`, so it always fits.
    char parent[MaxPathLength + 1];
    std::memcpy(parent, path, last - path);
    parent[last - path] = '\0';

    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(root, parent + (first - path) + 1, 0, openAccess, &opened);
    if (result != ERROR_SUCCESS) return Report(result);

    ReplaceRoot(root);
    AdoptKey(opened, parent);
    return true;
}

// The handle handed in becomes the object's root and is never closed here,
// even when it is the root or the current key the object already holds: that
// is how OpenParent climbs to a root handle that is not predefined without
// closing the very handle it keeps.
bool RegistryKey::AttachRoot(HKEY root) {
    // A predefined key opened with no sub-key is handed back as it is, whatever
    // the access; any other handle is opened anew, and that handle is what the
    // object reads, writes and walks through, so it needs the object's access.
    REGSAM access = registry_internal::IsPredefinedRoot(root) ? 0 : openAccess;
    HKEY attached = nullptr;
    LONG result = RegOpenKeyExA(root, nullptr, 0, access, &attached);
    if (result != ERROR_SUCCESS) return Report(result);

    ReplaceRoot(root);
    if (currentKey != nullptr && currentKey != root) RegCloseKey(currentKey);
    currentKey = attached;
    // A handle outside the table of root names has no name: its path is the
    // empty text, and keys below it read "\child\grandchild". The previous
    // key's text must not survive as though it were still current.
    path[0] = '\0';
    SetPathToRoot();
    RefreshInfo();
    return true;
}
