// The premise of every test in this folder (code_page_932.h): the process
// runs under Shift-JIS.
#include <windows.h>

#include "code_page_932.h"

namespace {

class CodePage932 : public UnderCodePage932<> {};

TEST_F(CodePage932, ProcessRunsUnderShiftJis) {
    // 0x95 is a lead byte and 0x5C (the backslash code) a valid trail byte.
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    const char text[] = "\x95\x5C";
    EXPECT_EQ(text + 2, CharNextA(text));
}

}  // namespace
