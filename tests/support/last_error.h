// Assertions on the thread's last error. They are macros so that a failure
// names the line of the test that made it, and they print the code they got
// and the one expected, each with the platform's text for it.
//
//   EXPECT_LAST_ERROR(code)        the last error is `code` now.
//   EXPECT_LAST_ERROR(code, call)  `call`, made with kLastErrorSentinel in the
//                                  last error, leaves `code` there and says so
//                                  in its result: true for ERROR_SUCCESS,
//                                  false for anything else (the sentinel
//                                  included: a call that left it alone).
//   EXPECT_FAILS(call)             `call` returns false and leaves a failure
//                                  code of its own.
// ASSERT_LAST_ERROR stops the test instead; all take `<<` for more context.
// `call` is anything that converts to bool (a pointer counts as success when
// not null).
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace test_support {

// Put in the last error before a call, so a call that never sets it shows;
// no system error has this number.
constexpr DWORD kLastErrorSentinel = 12345;

// "87 (The parameter is incorrect.)", or the number alone when the platform
// has no text for it.
std::string DescribeError(DWORD code);

struct CallOutcome {
    bool succeeded;
    DWORD lastError;
};

template <typename Call>
CallOutcome CallWithSentinel(Call call) {
    SetLastError(kLastErrorSentinel);
    const bool succeeded = static_cast<bool>(call());
    const DWORD lastError = GetLastError();
    return {succeeded, lastError};
}

// The predicates behind the macros.
::testing::AssertionResult LastErrorIs(const char* codeText, DWORD code);
::testing::AssertionResult CallLeaves(const char*, const char*, const char*, const char* callText,
                                      const CallOutcome& outcome, DWORD code);
::testing::AssertionResult CallFails(const char*, const char*, const char* callText,
                                     const CallOutcome& outcome);

}  // namespace test_support

// The last error is read inside the predicate, before gtest makes any call of its own.
#define TEST_SUPPORT_LAST_ERROR_NOW_(kind, code) \
    kind##_PRED_FORMAT1(::test_support::LastErrorIs, static_cast<DWORD>(code))
#define TEST_SUPPORT_LAST_ERROR_OF_(kind, code, call)                                              \
    kind##_PRED_FORMAT3(::test_support::CallLeaves, #call,                                         \
                        ::test_support::CallWithSentinel([&] { return static_cast<bool>(call); }), \
                        static_cast<DWORD>(code))
// The name of the one- or two-argument form.
#define TEST_SUPPORT_PICK_(first, second, picked, ...) picked

#define EXPECT_LAST_ERROR(...)                                                                 \
    TEST_SUPPORT_PICK_(__VA_ARGS__, TEST_SUPPORT_LAST_ERROR_OF_, TEST_SUPPORT_LAST_ERROR_NOW_, \
                       unused)                                                                 \
    (EXPECT, __VA_ARGS__)
#define ASSERT_LAST_ERROR(...)                                                                 \
    TEST_SUPPORT_PICK_(__VA_ARGS__, TEST_SUPPORT_LAST_ERROR_OF_, TEST_SUPPORT_LAST_ERROR_NOW_, \
                       unused)                                                                 \
    (ASSERT, __VA_ARGS__)
#define EXPECT_FAILS(call)                                \
    EXPECT_PRED_FORMAT2(::test_support::CallFails, #call, \
                        ::test_support::CallWithSentinel([&] { return static_cast<bool>(call); }))
