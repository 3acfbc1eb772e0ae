#include "last_error.h"

namespace test_support {

std::string DescribeError(DWORD code) {
    std::string text = std::to_string(code);
    if (code == kLastErrorSentinel) return text + " (the sentinel: nothing set it)";
    // In English whatever the process's locale: the code page 932 tests run
    // under a Japanese one, whose texts the test log could not show.
    char message[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  message, sizeof message, nullptr);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r')) --length;
    return length > 0 ? text + " (" + std::string(message, length) + ")" : text;
}

::testing::AssertionResult LastErrorIs(const char*, DWORD code) {
    const DWORD now = GetLastError();
    if (now == code) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "last error is " << DescribeError(now) << ", expected " << DescribeError(code);
}

::testing::AssertionResult CallLeaves(const char*, const char*, const char*, const char* callText,
                                      const CallOutcome& outcome, DWORD code) {
    const bool succeeds = code == ERROR_SUCCESS;
    if (outcome.succeeded == succeeds && outcome.lastError == code) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << callText << " returned " << (outcome.succeeded ? "success" : "failure")
           << " with last error " << DescribeError(outcome.lastError) << ", expected "
           << (succeeds ? "success" : "failure") << " with " << DescribeError(code);
}

::testing::AssertionResult CallFails(const char*, const char*, const char* callText,
                                     const CallOutcome& outcome) {
    if (!outcome.succeeded && outcome.lastError != ERROR_SUCCESS &&
        outcome.lastError != kLastErrorSentinel) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << callText << " returned " << (outcome.succeeded ? "success" : "failure")
           << " with last error " << DescribeError(outcome.lastError)
           << ", expected failure with a code of its own";
}

}  // namespace test_support
