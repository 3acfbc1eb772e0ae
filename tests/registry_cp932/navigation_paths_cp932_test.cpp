// Double-byte key names under Shift-JIS through creation and navigation:
// 0x95 0x5C is one character (U+8868) whose trail byte is the backslash code.
// Create and OpenSubKey must name the key with it whole, and OpenParent must cut
// the path at the real separator, never between the two bytes.
#include <string>

#include "code_page_932.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

const char* const kName = "\x95\x5C";
const wchar_t* const kWideName = L"\x8868";

class Cp932Navigation : public UnderCodePage932<ScratchKeyTest> {
  protected:
    // Whether scratch\`wideRelative` exists, asked with the wide API so the
    // answer does not depend on the code page under test.
    bool WideKeyExists(const std::wstring& wideRelative) {
        std::wstring path(scratchSubPath.begin(), scratchSubPath.end());
        path += L"\\" + wideRelative;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    // Number of sub-keys directly below the scratch key.
    DWORD SubKeyCount() {
        DWORD count = 0;
        if (HKEY scratchHandle = OpenKeyRaw("", KEY_READ)) {
            RegQueryInfoKeyA(scratchHandle, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(scratchHandle);
        }
        return count;
    }
};

TEST_F(Cp932Navigation, CreateMakesOneKeyNamedWithTheWholeCharacter) {
    RegistryKey key;
    std::string path = scratchFullPath + "\\" + kName;
    ASSERT_TRUE(key.Create(path.c_str(), nullptr));
    EXPECT_EQ(path, key.Path());
    EXPECT_TRUE(WideKeyExists(kWideName));
    EXPECT_EQ(1u, SubKeyCount()) << "no key was made from the lead byte alone";

    path += std::string("\\") + kName;
    ASSERT_TRUE(key.Create(path.c_str(), nullptr));
    EXPECT_EQ(path, key.Path());
    EXPECT_TRUE(WideKeyExists(std::wstring(kWideName) + L"\\" + kWideName));
}

TEST_F(Cp932Navigation, OpenSubKeyAppendsTheNameWhole) {
    ASSERT_TRUE(CreateKeyRaw(std::string(kName) + "\\" + kName));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    ASSERT_TRUE(key.OpenSubKey(kName));
    EXPECT_EQ(scratchFullPath + "\\" + kName, key.Path());
    ASSERT_TRUE(key.OpenSubKey(kName));
    EXPECT_EQ(scratchFullPath + "\\" + kName + "\\" + kName, key.Path());

    RegistryKey twoLevels;
    ASSERT_TRUE(twoLevels.Open(scratchFullPath.c_str()));
    ASSERT_TRUE(twoLevels.OpenSubKey((std::string(kName) + "\\" + kName).c_str()));
    EXPECT_EQ(scratchFullPath + "\\" + kName + "\\" + kName, twoLevels.Path());
}

// A byte-wise search would take the trail byte as the last separator and try
// to open a parent named with the lead byte alone.
TEST_F(Cp932Navigation, OpenParentCutsAtTheRealSeparator) {
    ASSERT_TRUE(CreateKeyRaw(std::string("a") + kName + "\\" + kName));
    ASSERT_TRUE(SetValueRaw("", "mark", REG_SZ, "scratch", 8));
    ASSERT_TRUE(SetValueRaw(std::string("a") + kName, "mark", REG_SZ, "middle", 7));

    RegistryKey key;
    ASSERT_TRUE(key.Open((scratchFullPath + "\\a" + kName + "\\" + kName).c_str()));

    ASSERT_TRUE(key.OpenParent());
    EXPECT_EQ(scratchFullPath + "\\a" + kName, key.Path());
    EXPECT_EQ("middle", ValueText(key, "mark"));

    ASSERT_TRUE(key.OpenParent());
    EXPECT_EQ(scratchFullPath, key.Path());
    EXPECT_EQ("scratch", ValueText(key, "mark"));
}

}  // namespace
