// The tests in this folder run with LC_ALL=ja_JP.UTF-8, which gives the Wine
// process the Shift-JIS ANSI code page; they mean nothing without it.
#include <windows.h>

#include <gtest/gtest.h>

TEST(CodePage932, ProcessRunsUnderShiftJis) {
    ASSERT_EQ(932u, GetACP());
    // 0x95 is a lead byte and 0x5C (the backslash code) a valid trail byte.
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    const char text[] = "\x95\x5C";
    EXPECT_EQ(text + 2, CharNextA(text));
}
