// A key's access list against RegistryKey: every open asks for full access, so
// a key the caller may read but not write cannot be opened at all. Wine keeps a
// key's access list only while the prefix's wineserver runs, so each test sets
// its own and puts full access back before the scratch key is deleted.
#define _WIN32_WINNT 0x0601
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

class KeySecurity : public ScratchKeyTest {
  protected:
    void TearDown() override {
        for (const std::string& relative : restricted) {
            EXPECT_TRUE(SetAccessList(relative, "D:P(A;;KA;;;WD)")) << relative;
        }
        ScratchKeyTest::TearDown();
        EXPECT_FALSE(KeyExists("")) << "the scratch key is gone once full access is back";
    }

    // Replaces the access list of scratch\`relative` by the one `sddl` describes.
    bool SetAccessList(const std::string& relative, const char* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            return false;
        }
        HKEY key;
        LONG r =
            RegOpenKeyExA(HKEY_CURRENT_USER, (sub + "\\" + relative).c_str(), 0, WRITE_DAC, &key);
        if (r == ERROR_SUCCESS) {
            r = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            RegCloseKey(key);
        }
        LocalFree(descriptor);
        return r == ERROR_SUCCESS;
    }

    // Read-only for everyone, the caller included.
    void MakeReadOnly(const std::string& relative) {
        ASSERT_TRUE(SetAccessList(relative, "D:P(A;;KR;;;WD)"));
        restricted.push_back(relative);
    }

    std::vector<std::string> restricted;
};

TEST_F(KeySecurity, ReadOnlyKeyCannotBeOpenedEvenToRead) {
    ASSERT_TRUE(MakeKey("locked"));
    ASSERT_TRUE(SetRaw("locked", "value", REG_SZ, "Yes", 4));
    MakeReadOnly("locked");

    // The access list really grants reading: a raw read-only open succeeds.
    HKEY raw;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, (sub + "\\locked").c_str(), 0, KEY_READ, &raw));
    RegCloseKey(raw);

    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    EXPECT_FALSE(key.Open((full + "\\locked").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(full, key.Path()) << "the refused open leaves the current key";
}

}  // namespace
