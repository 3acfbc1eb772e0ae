// Walking sub-keys and values whose names hold double-byte characters of the
// Shift-JIS code page. The registry counts the longest name in characters, but
// the ANSI name takes two bytes for each such character, so the name buffers
// must be sized in bytes.
#include <set>
#include <string>

#include "code_page_932.h"
#include "last_error.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

class EnumerationCp932 : public UnderCodePage932<ScratchKeyTest> {};

// Three characters, six bytes: "Japanese" in Shift-JIS.
const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea";
// Two characters whose first trail byte is 0x5C, the backslash code.
const std::string kHyouji = "\x95\x5c\x8e\xa6";
const std::set<std::string> kNames = {kNihongo, kHyouji, "ab"};

TEST_F(EnumerationCp932, DoubleByteNamesAreWalkedWhole) {
    DWORD number = 1;
    for (const std::string& name : kNames) {
        ASSERT_TRUE(CreateKeyRaw(name));
        ASSERT_TRUE(SetValueRaw("", name.c_str(), REG_DWORD, &number, sizeof number));
        ++number;
    }
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    // The premise: counted in characters, a buffer of that size plus one
    // cannot take the six-byte name.
    ASSERT_EQ(3u, key.MaxSubKeyNameLength());
    ASSERT_EQ(3u, key.MaxValueNameLength());
    bool tooSmallSomewhere = false;
    for (DWORD index = 0; index < kNames.size(); ++index) {
        char small[4];
        DWORD size = sizeof small;
        LONG r = RegEnumKeyExA(key.CurrentKey(), index, small, &size, nullptr, nullptr, nullptr,
                               nullptr);
        tooSmallSomewhere = tooSmallSomewhere || r == ERROR_MORE_DATA;
    }
    ASSERT_TRUE(tooSmallSomewhere);

    std::set<std::string> subKeys;
    for (const char* name = key.NextSubKey(true); name != nullptr; name = key.NextSubKey(false)) {
        subKeys.insert(name);
    }
    EXPECT_LAST_ERROR(ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(kNames, subKeys);

    std::set<std::string> values;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    for (const char* name = key.NextValue(&type, reinterpret_cast<BYTE*>(&data), &size, true);
         name != nullptr;
         name = key.NextValue(&type, reinterpret_cast<BYTE*>(&data), &size, false)) {
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << name;
        values.insert(name);
        size = sizeof data;
    }
    EXPECT_LAST_ERROR(ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(kNames, values);
}

}  // namespace
