// A key's access list against RegistryKey: every open asks for the object's
// access, full access unless SetAccess narrows it, so by default a key the
// caller may read but not write cannot be opened at all. Wine keeps a key's
// access list only while the prefix's wineserver runs, so each test sets its
// own and puts full access back before the scratch key is deleted.
#include <string>
#include <vector>

#include "access_list.h"
#include "last_error.h"
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
        EXPECT_FALSE(KeyExistsRaw("")) << "the scratch key is gone once full access is back";
    }

    // Replaces the access list of scratch\`relative` by the one `sddl` describes.
    bool SetAccessList(const std::string& relative, const char* sddl) {
        AccessListStep failedStep;
        return SetKeyAccessList(HKEY_CURRENT_USER, SubPathOf(relative).c_str(), sddl, 0,
                                &failedStep) == ERROR_SUCCESS;
    }

    // Read-only for everyone, the caller included.
    void MakeReadOnly(const std::string& relative) {
        ASSERT_TRUE(SetAccessList(relative, "D:P(A;;KR;;;WD)"));
        restricted.push_back(relative);
    }

    std::vector<std::string> restricted;
};

// Every way the object opens a key, ending on the read-only scratch\locked;
// each is given the scratch key's path below HKEY_CURRENT_USER and its full path.
struct OpenWay {
    const char* what;
    bool (*open)(RegistryKey& key, const std::string& scratchSubPath,
                 const std::string& scratchFullPath);
};

// AttachRoot takes over a handle of the caller's, read-only itself; the object
// owns it only once attached.
bool AttachLocked(RegistryKey& key, const std::string& scratchSubPath, const std::string&) {
    HKEY lockedForReading;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (scratchSubPath + "\\locked").c_str(), 0, KEY_READ,
                      &lockedForReading) != ERROR_SUCCESS) {
        return false;
    }
    if (key.AttachRoot(lockedForReading)) return true;
    DWORD code = GetLastError();
    RegCloseKey(lockedForReading);
    SetLastError(code);
    return false;
}

const OpenWay kOpenWays[] = {
    {"Open",
     [](RegistryKey& key, const std::string&, const std::string& scratchFull) {
         return key.Open((scratchFull + "\\locked").c_str());
     }},
    {"Create of the existing key",
     [](RegistryKey& key, const std::string&, const std::string& scratchFull) {
         return key.Create((scratchFull + "\\locked").c_str(), nullptr);
     }},
    {"OpenSubKey",
     [](RegistryKey& key, const std::string&, const std::string& scratchFull) {
         return key.Open(scratchFull.c_str()) && key.OpenSubKey("locked");
     }},
    {"CreateSubKey of the existing key",
     [](RegistryKey& key, const std::string&, const std::string& scratchFull) {
         return key.Open(scratchFull.c_str()) && key.CreateSubKey("locked", nullptr);
     }},
    {"OpenParent",
     [](RegistryKey& key, const std::string&, const std::string& scratchFull) {
         return key.Open((scratchFull + "\\locked\\inner").c_str()) && key.OpenParent();
     }},
    {"AttachRoot", AttachLocked},
};

// The access set on the object reaches every open it makes: by default the
// read-only key opens no way at all, though its access list grants reading;
// with KEY_READ it opens each way and reads, and a write through it is
// refused by the key itself rather than by a failed open.
TEST_F(KeySecurity, ReadAccessOpensAReadOnlyKeyEveryWay) {
    ASSERT_TRUE(CreateKeyRaw("locked\\inner"));
    ASSERT_TRUE(SetValueRaw("locked", "value", REG_SZ, "Yes", 4));
    MakeReadOnly("locked");
    HKEY lockedForReading = OpenKeyRaw("locked", KEY_READ);
    ASSERT_NE(nullptr, lockedForReading) << "a raw read-only open succeeds";
    RegCloseKey(lockedForReading);

    for (const OpenWay& way : kOpenWays) {
        RegistryKey byDefault;
        ASSERT_TRUE(byDefault.Open(scratchFullPath.c_str()));
        EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED, way.open(byDefault, scratchSubPath, scratchFullPath))
            << way.what;
        if (std::string(way.what) == "Open") {
            EXPECT_EQ(scratchFullPath, byDefault.Path())
                << "the refused open leaves the current key";
        }

        RegistryKey reader;
        reader.SetAccess(KEY_READ);
        ASSERT_LAST_ERROR(ERROR_SUCCESS, way.open(reader, scratchSubPath, scratchFullPath))
            << way.what;
        EXPECT_EQ("Yes", ValueText(reader, "value")) << way.what;
        const BYTE no[] = "No";
        EXPECT_LAST_ERROR(ERROR_ACCESS_DENIED, reader.WriteString("value", no, sizeof no))
            << way.what;
    }
    DWORD type;
    std::string data;
    ASSERT_TRUE(ReadValueRaw("locked", "value", &type, &data));
    EXPECT_EQ(std::string("Yes", 4), data);
}

// The registry view flag rides in the same mask. A 32-bit prefix has one view
// only, so each open must simply still succeed with the flag on it.
TEST_F(KeySecurity, ViewFlagIsAcceptedOnEveryOpen) {
    ASSERT_TRUE(CreateKeyRaw("locked\\inner"));
    for (const OpenWay& way : kOpenWays) {
        RegistryKey key;
        key.SetAccess(KEY_READ | KEY_WOW64_64KEY);
        EXPECT_LAST_ERROR(ERROR_SUCCESS, way.open(key, scratchSubPath, scratchFullPath))
            << way.what;
    }
}

}  // namespace
