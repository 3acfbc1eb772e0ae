// The tests in registry_cp932 run with LC_ALL=ja_JP.UTF-8, which gives the
// Wine process the Shift-JIS ANSI code page (932); they mean nothing under any
// other, so each fails at once when the process has another.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

// `Base`'s fixture, set up only under code page 932.
template <typename Base = ::testing::Test>
class UnderCodePage932 : public Base {
  protected:
    void SetUp() override {
        ASSERT_EQ(932u, GetACP()) << "the process needs the Shift-JIS code page "
                                     "(LC_ALL=ja_JP.UTF-8 under Wine)";
        Base::SetUp();
    }
};
