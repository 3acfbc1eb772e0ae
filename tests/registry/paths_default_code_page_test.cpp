// The bytes 0x95 0x5C under a single-byte ANSI code page: two characters, the
// second a real backslash. The same bytes are one character under Shift-JIS
// (see tests/registry_cp932), so this is the other half of that proof.
#include <string>

#include "registry/registry_internal.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

const char* const kBytes = "\x95\x5C";

class DefaultCodePagePaths : public ScratchKeyTest {
  protected:
    void SetUp() override {
        ASSERT_FALSE(IsDBCSLeadByte(0x95)) << "needs a single-byte code page, got " << GetACP();
        ScratchKeyTest::SetUp();
    }
};

TEST_F(DefaultCodePagePaths, TheTrailByteIsASeparator) {
    const std::string path = std::string("A\\") + kBytes + "B";
    EXPECT_EQ(path.c_str() + 1, registry_internal::FindFirstBackslash(path.c_str()));
    EXPECT_EQ(path.c_str() + 3, registry_internal::FindLastBackslash(path.c_str()));
}

TEST_F(DefaultCodePagePaths, OpenReachesTheKeyOneLevelBelowTheLeadByte) {
    ASSERT_TRUE(CreateKeyRaw("\x95\\inner"));
    ASSERT_TRUE(SetValueRaw("\x95\\inner", "mark", REG_SZ, "split", 6));

    RegistryKey key;
    std::string path = scratchFullPath + "\\" + kBytes + "inner";
    ASSERT_TRUE(key.Open(path.c_str()));
    EXPECT_EQ("split", ValueText(key, "mark"));
}

}  // namespace
