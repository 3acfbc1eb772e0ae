// SetPrivilege, SaveToFile and LoadFromFile against the real registry and the
// process's own token. Privilege state and hive contents are checked with raw
// API calls, independent of the code under test.
#include <cstring>
#include <string>

#include "console_capture.h"
#include "last_error.h"
#include "registry/registry_key.h"
#include "scratch_folder.h"
#include "scratch_key.h"

namespace {

const char* const kBackup = "SeBackupPrivilege";
const char* const kRestore = "SeRestorePrivilege";

// Whether `name` is switched on in the process token right now.
bool PrivilegeOn(const char* name) {
    LUID luid;
    if (!LookupPrivilegeValueA(nullptr, name, &luid)) return false;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    char buffer[4096];
    DWORD size = 0;
    bool on = false;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const TOKEN_PRIVILEGES* all = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < all->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = all->Privileges[i];
            if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
                on = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            }
        }
    }
    CloseHandle(token);
    return on;
}

// Switches a privilege with raw calls, so tests can set the stage without
// going through SetPrivilege.
void SwitchPrivilegeRaw(const char* name, bool on) {
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid));
    privileges.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
}

// Hive files go in the test's scratch folder, removed once the hive is unloaded.
class RegistryHive : public WithScratchFolder<ScratchKeyTest> {
  protected:
    void SetUp() override {
        WithScratchFolder::SetUp();
        // The token belongs to the whole process: start every test with both off.
        SwitchPrivilegeRaw(kBackup, false);
        SwitchPrivilegeRaw(kRestore, false);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        hiveName = std::string("SorvaneHive.") + info->name();
    }

    void TearDown() override {
        SwitchPrivilegeRaw(kRestore, true);
        RegUnLoadKeyA(HKEY_USERS, hiveName.c_str());
        RegUnLoadKeyA(HKEY_CURRENT_USER, hiveName.c_str());
        SwitchPrivilegeRaw(kRestore, false);
        SwitchPrivilegeRaw(kBackup, false);
        WithScratchFolder::TearDown();
    }

    // Value `name` of `root`\`relative` as text, or "<missing>".
    static std::string ReadText(HKEY root, const std::string& relative, const char* name) {
        char buffer[256];
        DWORD size = sizeof buffer;
        if (RegGetValueA(root, relative.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
            ERROR_SUCCESS) {
            return "<missing>";
        }
        return buffer;
    }

    // Fills the scratch key with a string, a DWORD and a sub-key with a value.
    void Populate(const std::string& relative, const char* text) {
        ASSERT_TRUE(CreateKeyRaw(relative));
        ASSERT_TRUE(SetValueRaw(relative, "text", REG_SZ, text, std::strlen(text) + 1));
        DWORD number = 0x01020304;
        ASSERT_TRUE(SetValueRaw(relative, "number", REG_DWORD, &number, sizeof number));
        std::string child = relative.empty() ? "child" : relative + "\\child";
        ASSERT_TRUE(CreateKeyRaw(child));
        ASSERT_TRUE(SetValueRaw(child, "inner", REG_SZ, "deep", 5));
    }

    // The key a hive is loaded as, below HKEY_USERS (or HKEY_CURRENT_USER).
    std::string hiveName;
};

TEST_F(RegistryHive, SavedKeyLoadsUnderHkeyUsersWithValuesAndSubKeys) {
    Populate("", "saved text");
    std::string file = InFolder("saved.hiv");

    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    HKEY current = key.CurrentKey();
    ConsoleCapture output;
    EXPECT_LAST_ERROR(ERROR_SUCCESS, key.SaveToFile(file.c_str(), nullptr));
    EXPECT_FALSE(PrivilegeOn(kBackup)) << "the backup privilege is switched off after the save";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
    EXPECT_EQ(current, key.CurrentKey());
    EXPECT_EQ(scratchFullPath, key.Path());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());

    // Loaded with the current key standing at HKEY_USERS itself.
    RegistryKey users;
    ASSERT_TRUE(users.Open("HKEY_USERS\\"));
    HKEY usersKey = users.CurrentKey();
    EXPECT_LAST_ERROR(ERROR_SUCCESS, users.LoadFromFile(hiveName.c_str(), file.c_str(), nullptr));
    EXPECT_FALSE(PrivilegeOn(kRestore)) << "the restore privilege is switched off after the load";
    EXPECT_EQ(usersKey, users.CurrentKey());
    EXPECT_STREQ("HKEY_USERS\\", users.Path());

    EXPECT_EQ("saved text", ReadText(HKEY_USERS, hiveName, "text"));
    DWORD number = 0;
    DWORD size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_USERS, hiveName.c_str(), "number", RRF_RT_REG_DWORD,
                                          nullptr, &number, &size));
    EXPECT_EQ(0x01020304u, number);
    EXPECT_EQ("deep", ReadText(HKEY_USERS, hiveName + "\\child", "inner"));
    EXPECT_EQ("", output.Printed()) << "nothing is printed when every step succeeds";

    SwitchPrivilegeRaw(kRestore, true);
    EXPECT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, hiveName.c_str()));
}

TEST_F(RegistryHive, HandleGivenIsSavedWhateverTheCurrentKey) {
    Populate("current", "current key");
    Populate("given", "given key");
    HKEY given = OpenKeyRaw("given", KEY_READ);
    ASSERT_NE(nullptr, given);
    std::string givenFile = InFolder("given.hiv");
    std::string currentFile = InFolder("current.hiv");

    RegistryKey key;
    ASSERT_TRUE(key.Open(FullPathOf("current").c_str()));
    EXPECT_TRUE(key.SaveToFile(givenFile.c_str(), given));
    EXPECT_TRUE(key.SaveToFile(currentFile.c_str(), nullptr));
    RegCloseKey(given);
    EXPECT_EQ(FullPathOf("current"), key.Path());

    // An object without a current key loads under the handle it is given.
    RegistryKey loader;
    ASSERT_TRUE(loader.LoadFromFile(hiveName.c_str(), givenFile.c_str(), HKEY_USERS));
    EXPECT_EQ(nullptr, loader.CurrentKey());
    EXPECT_EQ("given key", ReadText(HKEY_USERS, hiveName, "text"));
    SwitchPrivilegeRaw(kRestore, true);
    ASSERT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, hiveName.c_str()));
    SwitchPrivilegeRaw(kRestore, false);

    ASSERT_TRUE(loader.LoadFromFile(hiveName.c_str(), currentFile.c_str(), HKEY_USERS));
    EXPECT_EQ("current key", ReadText(HKEY_USERS, hiveName, "text"));
}

TEST_F(RegistryHive, RefusedSaveAndLoadReportTheRegistrysCodeAndSwitchThePrivilegeOff) {
    Populate("", "x");
    std::string missingFolder = InFolder("no-such-folder\\out.hiv");
    std::string missingFile = InFolder("never-written.hiv");

    // What the platform itself says for the same calls, privileges on.
    SwitchPrivilegeRaw(kBackup, true);
    HKEY scratchHandle = OpenKeyRaw("", KEY_READ);
    ASSERT_NE(nullptr, scratchHandle);
    LONG saveCode = RegSaveKeyA(scratchHandle, missingFolder.c_str(), nullptr);
    RegCloseKey(scratchHandle);
    SwitchPrivilegeRaw(kRestore, true);
    LONG loadCode = RegLoadKeyA(HKEY_USERS, hiveName.c_str(), missingFile.c_str());
    ASSERT_NE(ERROR_SUCCESS, saveCode);
    ASSERT_NE(ERROR_SUCCESS, loadCode);

    // Both privileges are still on from above: the operations switch them off
    // even though the caller had them on.
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    ConsoleCapture output;
    EXPECT_LAST_ERROR(saveCode, key.SaveToFile(missingFolder.c_str(), nullptr));
    EXPECT_FALSE(PrivilegeOn(kBackup));

    RegistryKey users;
    ASSERT_TRUE(users.Open("HKEY_USERS\\"));
    EXPECT_LAST_ERROR(loadCode, users.LoadFromFile(hiveName.c_str(), missingFile.c_str(), nullptr));
    EXPECT_FALSE(PrivilegeOn(kRestore));
    EXPECT_EQ("", output.Printed()) << "a refusal by the registry prints nothing";
}

TEST_F(RegistryHive, WithNoKeyAtAllTheRegistryGetsANullHandleAndRefuses) {
    RegistryKey key;
    std::string file = InFolder("none.hiv");
    EXPECT_FAILS(key.SaveToFile(file.c_str(), nullptr));
    EXPECT_FAILS(key.LoadFromFile(hiveName.c_str(), file.c_str(), nullptr));
}

TEST_F(RegistryHive, NullNamesAreRefusedWithoutOutputOrTouchingPrivileges) {
    std::string file = InFolder("unused.hiv");
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    // Switched on beforehand, so a refusal that touched them would show.
    SwitchPrivilegeRaw(kBackup, true);
    SwitchPrivilegeRaw(kRestore, true);

    ConsoleCapture output;
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.SaveToFile(nullptr, nullptr));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.LoadFromFile(nullptr, file.c_str(), HKEY_USERS));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER,
                      key.LoadFromFile(hiveName.c_str(), nullptr, HKEY_USERS));

    EXPECT_EQ("", output.Printed());
    EXPECT_TRUE(PrivilegeOn(kBackup));
    EXPECT_TRUE(PrivilegeOn(kRestore));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
}

// Wine loads a hive under HKEY_CURRENT_USER, where Windows refuses with its own
// code. Either way our operation must hand on exactly what the registry said:
// true with the hive visible, or false with a failure code and nothing loaded.
TEST_F(RegistryHive, LoadUnderCurrentUserReportsWhateverThePlatformDecides) {
    Populate("", "under current user");
    std::string file = InFolder("hkcu.hiv");
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    ASSERT_TRUE(key.SaveToFile(file.c_str(), nullptr));

    RegistryKey user;
    ASSERT_TRUE(user.Open("HKEY_CURRENT_USER\\"));
    bool loaded = user.LoadFromFile(hiveName.c_str(), file.c_str(), nullptr);
    DWORD code = GetLastError();
    EXPECT_EQ(loaded, code == ERROR_SUCCESS) << "code " << code;
    EXPECT_EQ(loaded ? "under current user" : "<missing>",
              ReadText(HKEY_CURRENT_USER, hiveName, "text"));
    EXPECT_FALSE(PrivilegeOn(kRestore));
}

// Windows refuses to save over an existing file (ERROR_ALREADY_EXISTS); Wine
// overwrites it. Our operation passes the decision on: false with that code and
// the old file intact, or true with the file now holding the key saved.
TEST_F(RegistryHive, SaveOverAnExistingFileReportsWhateverThePlatformDecides) {
    Populate("first", "first save");
    Populate("second", "second save");
    std::string file = InFolder("existing.hiv");
    RegistryKey key;
    ASSERT_TRUE(key.Open(FullPathOf("first").c_str()));
    ASSERT_TRUE(key.SaveToFile(file.c_str(), nullptr));
    ASSERT_TRUE(key.Open(FullPathOf("second").c_str()));

    bool saved = key.SaveToFile(file.c_str(), nullptr);
    DWORD code = GetLastError();
    EXPECT_EQ(saved, code == ERROR_SUCCESS) << "code " << code;
    if (!saved) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), code);
    }
    EXPECT_FALSE(PrivilegeOn(kBackup));

    RegistryKey loader;
    ASSERT_TRUE(loader.LoadFromFile(hiveName.c_str(), file.c_str(), HKEY_USERS));
    EXPECT_EQ(saved ? "second save" : "first save", ReadText(HKEY_USERS, hiveName, "text"));
}

TEST(SetPrivilege, UnknownNamePrintsOneLookupLineWithTheCode) {
    LUID unused;
    ASSERT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &unused));
    DWORD expected = GetLastError();

    ConsoleCapture output;
    EXPECT_FALSE(SetPrivilege("SeNoSuchPrivilege", TRUE));
    EXPECT_EQ("Error in LookupPrivilegeValue (" + std::to_string(expected) + ")\n",
              output.Printed());
}

TEST(SetPrivilege, EveryNonZeroFlagSwitchesOnAndZeroSwitchesOff) {
    ConsoleCapture output;
    const BOOL flags[] = {1, 2, -1, 0x100};
    for (BOOL flag : flags) {
        SwitchPrivilegeRaw(kBackup, false);
        EXPECT_TRUE(SetPrivilege(kBackup, flag)) << flag;
        EXPECT_TRUE(PrivilegeOn(kBackup)) << "flag " << flag << " means on";
        EXPECT_TRUE(SetPrivilege(kBackup, FALSE));
        EXPECT_FALSE(PrivilegeOn(kBackup)) << "after flag " << flag;
    }
    EXPECT_EQ("", output.Printed());
}

// The handle table hands out the lowest free slot, so if every call left its
// token handle open the next handle created would land somewhere else.
TEST(SetPrivilege, ClosesTheTokenHandleItOpens) {
    HANDLE before = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(nullptr, before);
    CloseHandle(before);
    ConsoleCapture output;
    for (int i = 0; i < 50; ++i) {
        SetPrivilege(kBackup, TRUE);
        SetPrivilege(kBackup, FALSE);
        SetPrivilege("SeNoSuchPrivilege", TRUE);
    }
    HANDLE after = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(before, after);
    CloseHandle(after);
}

}  // namespace
