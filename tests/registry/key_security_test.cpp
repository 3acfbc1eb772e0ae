// A key's access list against RegistryKey: every open asks for the object's
// access, full access unless SetAccess narrows it, so by default a key the
// caller may read but not write cannot be opened at all. Wine keeps a key's
// access list only while the prefix's wineserver runs, so each test sets its
// own and puts full access back before the scratch key is deleted.
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

// Every way the object opens a key, ending on the read-only scratch\locked.
struct OpenWay {
    const char* what;
    bool (*open)(RegistryKey& key, const std::string& sub, const std::string& full);
};

// AttachRoot takes over a handle of the caller's, read-only itself; the object
// owns it only once attached.
bool AttachLocked(RegistryKey& key, const std::string& sub, const std::string&) {
    HKEY raw;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (sub + "\\locked").c_str(), 0, KEY_READ, &raw) !=
        ERROR_SUCCESS) {
        return false;
    }
    if (key.AttachRoot(raw)) return true;
    DWORD code = GetLastError();
    RegCloseKey(raw);
    SetLastError(code);
    return false;
}

const OpenWay kOpenWays[] = {
    {"Open", [](RegistryKey& k, const std::string&,
                const std::string& f) { return k.Open((f + "\\locked").c_str()); }},
    {"Create of the existing key",
     [](RegistryKey& k, const std::string&, const std::string& f) {
         return k.Create((f + "\\locked").c_str(), nullptr);
     }},
    {"OpenSubKey",
     [](RegistryKey& k, const std::string&, const std::string& f) {
         return k.Open(f.c_str()) && k.OpenSubKey("locked");
     }},
    {"CreateSubKey of the existing key",
     [](RegistryKey& k, const std::string&, const std::string& f) {
         return k.Open(f.c_str()) && k.CreateSubKey("locked", nullptr);
     }},
    {"OpenParent",
     [](RegistryKey& k, const std::string&, const std::string& f) {
         return k.Open((f + "\\locked\\inner").c_str()) && k.OpenParent();
     }},
    {"AttachRoot", AttachLocked},
};

// The access set on the object reaches every open it makes: with KEY_READ the
// read-only key opens each way and reads, and a write through it is refused
// by the key itself rather than by a failed open.
TEST_F(KeySecurity, ReadAccessOpensAReadOnlyKeyEveryWay) {
    ASSERT_TRUE(MakeKey("locked\\inner"));
    ASSERT_TRUE(SetRaw("locked", "value", REG_SZ, "Yes", 4));
    MakeReadOnly("locked");

    for (const OpenWay& way : kOpenWays) {
        RegistryKey byDefault;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(way.open(byDefault, sub, full)) << way.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << way.what;

        RegistryKey reader;
        reader.SetAccess(KEY_READ);
        ASSERT_TRUE(way.open(reader, sub, full)) << way.what << " (code " << GetLastError() << ")";
        char text[8] = {};
        DWORD size = sizeof text;
        EXPECT_TRUE(reader.ReadValue("value", reinterpret_cast<BYTE*>(text), &size)) << way.what;
        EXPECT_STREQ("Yes", text) << way.what;
        const BYTE no[] = "No";
        EXPECT_FALSE(reader.WriteString("value", no, sizeof no)) << way.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << way.what;
    }
    DWORD type;
    std::string data;
    ASSERT_TRUE(GetRaw("locked", "value", &type, &data));
    EXPECT_EQ(std::string("Yes", 4), data);
}

// The registry view flag rides in the same mask. A 32-bit prefix has one view
// only, so each open must simply still succeed with the flag on it.
TEST_F(KeySecurity, ViewFlagIsAcceptedOnEveryOpen) {
    ASSERT_TRUE(MakeKey("locked\\inner"));
    for (const OpenWay& way : kOpenWays) {
        RegistryKey key;
        key.SetAccess(KEY_READ | KEY_WOW64_64KEY);
        EXPECT_TRUE(way.open(key, sub, full)) << way.what << " (code " << GetLastError() << ")";
    }
}

}  // namespace
