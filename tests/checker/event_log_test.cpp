// The event log is a second record: where Windows refuses the source or the
// events (Wine's calls never fail, so a double does here), a run keeps its exit
// code and RESULT line and tells the problem once where it speaks and once in
// its /log: file. What the events carry is read from Wine's trace, end to end
// (tests/e2e/test_events.py).
#include <string>

#include <gtest/gtest.h>

#include "console_capture.h"
#include "fake_registry_key.h"
#include "front_ends.h"
#include "parse_words.h"
#include "scratch_folder.h"

namespace {

HANDLE WINAPI RefuseSource(LPCWSTR, LPCWSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}
HANDLE WINAPI GiveSource(LPCWSTR, LPCWSTR) { return reinterpret_cast<HANDLE>(1); }
// Takes the result's event, refuses the writes'.
BOOL WINAPI RefuseWrites(HANDLE, WORD, WORD, DWORD id, PSID, WORD, DWORD, LPCWSTR*, LPVOID) {
    SetLastError(ERROR_LOG_FILE_FULL);
    return id != 1000;
}
BOOL WINAPI Deregister(HANDLE) { return TRUE; }

int Fleet(const RunContext& context) { return RunFleet(context); }

class EventLogFailure : public ScratchFolderTest {};

TEST_F(EventLogFailure, ChangesNoExitCodeNorResultAndIsToldOnceInTheOutputAndTheLog) {
    const struct {
        EventLogCalls calls;
        std::string problem;
    } failures[] = {
        {{RefuseSource, ReportEventW, Deregister},
         "could not open the Application event log (error 5): this run's events are not in it"},
        {{GiveSource, RefuseWrites, Deregister},
         "the Application event log refused 4 of this run's 5 events (error 1502)"},
    };
    // Every rule broken, so each run writes four values; what its output ends with.
    const struct {
        int (*frontEnd)(const RunContext&);
        const char* arguments;
        const char* input;
        std::string before, after;  // around the problem
    } cases[] = {
        {Fleet, "/repair /suffix:dc=x", "", kEventLogPrefix,
         "\nRESULT: compliant, 4 changes made\n"},
        {Fleet, "/repair /suffix:dc=x /json", "", "\"exitCode\":0,\"eventLogProblem\":\"", "\"}\n"},
        {RunInteractive, "", "n\ndc=x\ny\n",
         std::string("Program has finished\n\n") + kEventLogPrefix, "\n"},
    };
    for (const auto& c : cases) {
        for (const auto& failure : failures) {
            SCOPED_TRACE(std::string(c.arguments) + " | " + failure.problem);
            fakeRegistry.Reset();
            fakeRegistry.keys[ServerKeyPath] = {
                {"Enable Login Auth", "no"}, {"Enable CR Auth", "no"}, {"LdapSuffix", "dc=old"}};
            fakeRegistry.keys[ClientKeyPath] = {{"DNSuffix", "dc=new"}};
            const std::string log = InFolder("run.log");
            DeleteFileA(log.c_str());
            RunContext context = ParseWords(c.arguments + std::string(" /log:") + log);
            context.eventLog = failure.calls;
            int exitCode = -1;
            const std::string out = WithConsole(c.input, [&] { exitCode = c.frontEnd(context); });
            EXPECT_EQ(0, exitCode);
            const std::string tail = c.before + failure.problem + c.after;
            ASSERT_GE(out.size(), tail.size()) << out;
            EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
            EXPECT_EQ(out.find(failure.problem), out.rfind(failure.problem)) << out;
            // The log's last lines: the RESULT line, then the problem.
            std::string logged;
            ASSERT_TRUE(ReadWholeFile(log, &logged));
            const std::string problemLine = kEventLogPrefix + failure.problem + "\r\n";
            const size_t result = logged.rfind("RESULT: compliant, 4 changes made\r\n");
            ASSERT_NE(std::string::npos, result) << logged;
            EXPECT_EQ(logged.size() - problemLine.size(), logged.find(problemLine)) << logged;
            EXPECT_EQ(logged.rfind('\n', logged.size() - 3), logged.find('\n', result)) << logged;
        }
    }
}

}  // namespace
