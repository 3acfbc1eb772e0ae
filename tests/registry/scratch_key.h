// A scratch key below HKEY_CURRENT_USER\Software, unique to one test, deleted
// before and after it; and raw-API helpers that check the registry without
// going through RegistryKey.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

class ScratchKeyTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // "Software\SorvaneTests\<suite>.<test>", below HKEY_CURRENT_USER.
    std::string sub;
    // The same with "HKEY_CURRENT_USER\" in front, as RegistryKey takes it.
    std::string full;

    // Creates `relative` below the scratch key; returns false on failure.
    bool MakeKey(const std::string& relative, const char* classText = nullptr);
    bool SetRaw(const std::string& relative, const char* name, DWORD type, const void* data,
                DWORD size);
    // The stored bytes of a value, with its type; false when it cannot be read.
    bool GetRaw(const std::string& relative, const char* name, DWORD* type, std::string* data);
    // The same through the wide API: the bytes exactly as stored, strings in UTF-16.
    bool GetStored(const std::string& relative, const char* name, DWORD* type, std::string* data);
    bool KeyExists(const std::string& relative);
};
