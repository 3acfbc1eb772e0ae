// Double-byte key and value names under Shift-JIS: 0x95 0x5C is one character
// (U+8868), and its trail byte is the backslash code. The separator searches,
// Open and the stored-value read must treat it as one character and hand it to
// the registry whole.
#include <string>

#include "code_page_932.h"
#include "last_error.h"
#include "registry/registry_internal.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

// U+8868 in Shift-JIS: a lead byte and the backslash code as its trail byte.
const char* const kName = "\x95\x5C";
const wchar_t* const kWideName = L"\x8868";

class Cp932Paths : public UnderCodePage932<ScratchKeyTest> {
  protected:
    // The sub-key names of scratch\`relative`, read with the wide API so the
    // answer does not depend on the code page under test.
    std::wstring WideSubKeys(const std::string& relative) {
        std::wstring path(scratchSubPath.begin(), scratchSubPath.end());
        if (!relative.empty()) path += L"\\" + Widen(relative);
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return L"<missing>";
        }
        std::wstring names;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = 256;
            if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names += std::wstring(L"[") + name + L"]";
        }
        RegCloseKey(key);
        return names;
    }

    static std::wstring Widen(const std::string& text) {
        wchar_t wide[256];
        int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 256);
        return n > 0 ? std::wstring(wide) : L"";
    }
};

TEST_F(Cp932Paths, SeparatorSearchSkipsATrailByteEqualToTheBackslashCode) {
    using registry_internal::FindFirstBackslash;
    using registry_internal::FindLastBackslash;
    const std::string alone = kName;
    EXPECT_EQ(nullptr, FindFirstBackslash(alone.c_str()));
    EXPECT_EQ(nullptr, FindLastBackslash(alone.c_str()));

    const std::string path = std::string("A\\") + kName + "B\\" + kName;
    EXPECT_EQ(path.c_str() + 1, FindFirstBackslash(path.c_str()));
    EXPECT_EQ(path.c_str() + 5, FindLastBackslash(path.c_str()));

    const std::string leading = std::string(kName) + "\\x";
    EXPECT_EQ(leading.c_str() + 2, FindFirstBackslash(leading.c_str()));
}

TEST_F(Cp932Paths, OpenNamesTheKeyWithTheDoubleByteCharacterWhole) {
    ASSERT_TRUE(CreateKeyRaw(kName));
    ASSERT_EQ(L"[" + std::wstring(kWideName) + L"]", WideSubKeys(""))
        << "the registry itself takes the two bytes as one character";
    ASSERT_TRUE(SetValueRaw(kName, "mark", REG_SZ, "inside", 7));
    ASSERT_TRUE(CreateKeyRaw(std::string(kName) + "\\child"));
    ASSERT_TRUE(SetValueRaw(std::string(kName) + "\\child", "mark", REG_SZ, "below", 6));

    RegistryKey key;
    std::string path = scratchFullPath + "\\" + kName;
    ASSERT_TRUE(key.Open(path.c_str()));
    EXPECT_EQ(path, key.Path());
    EXPECT_EQ("inside", ValueText(key, "mark"));

    path += "\\child";
    ASSERT_TRUE(key.Open(path.c_str()));
    EXPECT_EQ(path, key.Path());
    EXPECT_EQ("below", ValueText(key, "mark"));
}

// The name goes to the registry in UTF-16, converted from the code page; the
// data comes back as stored, not in Shift-JIS.
TEST_F(Cp932Paths, StoredValueIsFoundByItsShiftJisName) {
    const std::wstring text = L"\x8868\x793A";
    ASSERT_TRUE(SetStoredValueRaw("", kWideName, REG_SZ, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));

    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    wchar_t data[8] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    ASSERT_LAST_ERROR(ERROR_SUCCESS,
                      key.ReadStoredValue(kName, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((text.size() + 1) * sizeof(wchar_t), size);
    EXPECT_EQ(text, std::wstring(data));

    // The lead byte alone names another value, which does not exist.
    size = sizeof data;
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND,
                      key.ReadStoredValue("\x95", &type, reinterpret_cast<BYTE*>(data), &size));
}

}  // namespace
