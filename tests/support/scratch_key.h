// Every test that touches the real registry works under a key of its own,
// HKEY_CURRENT_USER\Software\SorvaneTests\<suite>.<test>, deleted before and
// after it, so test programs can run side by side. The helpers look at the
// registry with raw API calls, independent of RegistryKey; each takes a path
// relative to the scratch key ("" for the scratch key itself).
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

class ScratchKeyTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // "Software\SorvaneTests\<suite>.<test>": the scratch key below
    // HKEY_CURRENT_USER, as the raw API takes it.
    std::string scratchSubPath;
    // "HKEY_CURRENT_USER\Software\SorvaneTests\<suite>.<test>": the same key
    // as RegistryKey takes it.
    std::string scratchFullPath;

    // scratchSubPath or scratchFullPath with "\relative" after it.
    std::string SubPathOf(const std::string& relative) const;
    std::string FullPathOf(const std::string& relative) const;

    // Creates scratch\`relative` and any missing level above it.
    bool CreateKeyRaw(const std::string& relative, const char* classText = nullptr,
                      DWORD options = REG_OPTION_NON_VOLATILE);
    bool KeyExistsRaw(const std::string& relative);
    // A handle of the caller's to scratch\`relative`, or nullptr; the caller closes it.
    HKEY OpenKeyRaw(const std::string& relative, REGSAM access = KEY_ALL_ACCESS);

    // Stores `size` bytes through the ANSI API.
    bool SetValueRaw(const std::string& relative, const char* name, DWORD type, const void* data,
                     DWORD size);
    // Stores `size` bytes through the wide API: strings are taken as UTF-16,
    // never converted from the code page under test.
    bool SetStoredValueRaw(const std::string& relative, const wchar_t* name, DWORD type,
                           const void* data, DWORD size);
    // A value's type and bytes through the ANSI API (strings in the code page);
    // false when it cannot be read.
    bool ReadValueRaw(const std::string& relative, const char* name, DWORD* type,
                      std::string* data);
    // The same through the wide API: the bytes exactly as stored, strings in UTF-16.
    bool ReadStoredValueRaw(const std::string& relative, const char* name, DWORD* type,
                            std::string* data);
};

// Whether the registry still knows `key`: false once it has been closed.
bool IsOpenKeyHandle(HKEY key);

// Value `name` as `key` (a RegistryKey) reads it, taken as text up to its NUL;
// "<unreadable: CODE>" when the read fails.
template <typename Key>
std::string ValueText(Key& key, const char* name) {
    char text[256] = {};
    DWORD size = sizeof text - 1;
    if (!key.ReadValue(name, reinterpret_cast<BYTE*>(text), &size)) {
        return "<unreadable: " + std::to_string(GetLastError()) + ">";
    }
    return text;
}
