// RegistryKey: one open registry key, named by a full textual path such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor". Every public operation returns a result
// and leaves the platform's error code in the calling thread's last-error value
// (GetLastError): the registry call's own code where one was made,
// ERROR_INVALID_PARAMETER for arguments the object refuses itself.
#pragma once

#include <windows.h>

class RegistryKey {
  public:
    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The access every open of the object asks for: Open, Create, OpenSubKey,
    // CreateSubKey, OpenParent, and AttachRoot with a handle other than the
    // five predefined keys. Until set it is KEY_ALL_ACCESS, so one object can
    // read and write whatever the caller does next; a caller that only reads,
    // for example a key whose access list allows nothing else, passes KEY_READ.
    // A registry view flag (KEY_WOW64_64KEY or KEY_WOW64_32KEY) goes in the
    // same mask: the platform does not take the view over from the key a
    // sub-key is opened from, so the flag has to be on every open, and is.
    // Applies from the next open on.
    void SetAccess(REGSAM access) { openAccess = access; }

    // Core: open by full path, key information, string values.
    bool Open(const char* fullPath);
    bool RefreshInfo();
    bool ReadValue(const char* valueName, BYTE* data, DWORD* dataSize);
    bool WriteString(const char* valueName, const BYTE* data, DWORD byteCount);

    // Creation and navigation.
    bool Create(const char* fullPath, const char* classText);
    bool OpenSubKey(const char* subKey);
    bool CreateSubKey(const char* subKey, const char* classText);
    bool OpenParent();
    bool AttachRoot(HKEY root);

    // Typed values, deletion and enumeration.
    bool ReadDword(const char* valueName, DWORD* value);
    // The value exactly as the registry stores it: its type and raw bytes,
    // strings in UTF-16. The "A" functions (ReadValue, the walks) convert
    // stored text to the ANSI code page with best-fit mapping, so two
    // different stored texts can read back the same; a caller that compares
    // or backs up values exactly reads them here. The name is converted from
    // the ANSI code page. Sizes and codes as ReadValue: ERROR_MORE_DATA with
    // the size needed in `*dataSize` when the buffer is too small.
    bool ReadStoredValue(const char* valueName, DWORD* type, BYTE* data, DWORD* dataSize);
    bool WriteDword(const char* valueName, DWORD value);
    bool WriteMultiString(const char* valueName, const BYTE* data, DWORD byteCount);
    bool DeleteValue(const char* valueName);
    bool DeleteSubKey(const char* subKey);
    const char* NextSubKey(bool restart);
    const char* NextValue(DWORD* type, BYTE* data, DWORD* dataSize, bool restart);

    // Hive files, with the backup or restore privilege on around the call.
    bool SaveToFile(const char* fileName, HKEY key);
    bool LoadFromFile(const char* subKey, const char* fileName, HKEY key);

    const char* Path() const { return path; }
    const char* ClassName() const { return className; }
    HKEY CurrentKey() const { return currentKey; }
    HKEY RootKey() const { return rootKey; }
    DWORD SubKeyCount() const { return subKeyCount; }
    DWORD MaxSubKeyNameLength() const { return maxSubKeyNameLength; }
    DWORD MaxClassLength() const { return maxClassLength; }
    DWORD ValueCount() const { return valueCount; }
    DWORD MaxValueNameLength() const { return maxValueNameLength; }
    DWORD MaxValueDataLength() const { return maxValueDataLength; }
    DWORD SecurityDescriptorSize() const { return securityDescriptorSize; }
    FILETIME LastWriteTime() const { return lastWriteTime; }

    // Longest full path the object holds, in bytes without the NUL.
    static const size_t MaxPathLength = 255;

  private:
    static bool ParseRootName(const char* name, HKEY* root);
    static bool SplitFullPath(const char* fullPath, char* work, HKEY* root, const char** subKey);
    void SetPathToRoot();
    void ReplaceRoot(HKEY root);
    void AdoptKey(HKEY opened, const char* newPath);
    LONG OpenBelow(HKEY parent, const char* subKey, bool create, const char* classText,
                   HKEY* opened) const;
    bool OpenByPath(const char* fullPath, bool create, const char* classText);
    bool OpenRelative(const char* subKey, bool create, const char* classText);
    bool BeginWalkStep(bool restart, DWORD* index, const DWORD& maxNameLength, char** buffer,
                       DWORD* size, DWORD* step);

    // Nothing is open yet: an empty path and class text rather than garbage.
    HKEY rootKey = nullptr;
    HKEY currentKey = nullptr;
    REGSAM openAccess = KEY_ALL_ACCESS;
    char path[MaxPathLength + 1] = "";
    char className[256] = "";
    char* subKeyNameBuffer = nullptr;
    char* valueNameBuffer = nullptr;
    DWORD subKeyIndex = 0;
    DWORD valueIndex = 0;
    DWORD subKeyCount = 0;
    DWORD maxSubKeyNameLength = 0;
    DWORD maxClassLength = 0;
    DWORD valueCount = 0;
    DWORD maxValueNameLength = 0;
    DWORD maxValueDataLength = 0;
    DWORD securityDescriptorSize = 0;
    FILETIME lastWriteTime = {};
};

// Switches one named privilege of the process's own token on (any non-zero
// `enable`) or off. Prints one line on standard output when a step fails.
bool SetPrivilege(const char* privilegeName, BOOL enable);
