// The event log is a second record: where Windows refuses the source or the
// events (Wine's calls never fail, so a double does here), every front end's
// run keeps its exit code and RESULT line and says the problem once, where it
// speaks, and once in its /log: file. What the events carry is read from
// Wine's trace, end to end (tests/e2e/test_events.py).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "console_capture.h"
#include "dsc_instance.h"
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
// Refuses every write's event, takes the others.
BOOL WINAPI RefuseWrites(HANDLE, WORD, WORD, DWORD id, PSID, WORD, DWORD, LPCWSTR*, LPVOID) {
    SetLastError(ERROR_LOG_FILE_FULL);
    return id != 1000;
}
BOOL WINAPI Deregister(HANDLE) { return TRUE; }

const struct {
    EventLogCalls calls;
    const char* problem;
} kFailures[] = {
    {{RefuseSource, ReportEventW, Deregister},
     "could not open the Application event log (error 5): this run's events are not in it"},
    // The four writes' events of five (the result's is taken).
    {{GiveSource, RefuseWrites, Deregister},
     "the Application event log refused 4 of this run's 5 events (error 1502)"},
};

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The output of a run whose events were taken, with the problem told where a front end tells it.
using Told = std::string (*)(const std::string& out, const std::string& problem);

std::string BeforeTheResult(const std::string& out, const std::string& problem) {
    const size_t last = out.rfind('\n', out.size() - 2) + 1;
    return out.substr(0, last) + kEventLogPrefix + problem + "\n" + out.substr(last);
}

std::string AtTheEnd(const std::string& out, const std::string& problem) {
    return out + kEventLogPrefix + problem + "\n";
}

std::string InTheDocument(const std::string& out, const std::string& problem) {
    const std::string none = "\"eventLogProblem\":null";
    std::string told = out;
    if (told.find(none) != std::string::npos)
        told.replace(told.find(none), none.size(), "\"eventLogProblem\":\"" + problem + "\"");
    return told;
}

std::string InTheEngineLog(const std::string& out, const std::string& problem) {
    return out + DscLogLine("warn", kEventLogPrefix + problem) + "\n";
}

// A front end's run with `arguments`, `input` and a new log `log`, its event
// log's calls `calls`: its exit code, and all it printed in `out`.
using FrontEnd = int (*)(const std::string& arguments, const std::string& input,
                         const std::string& log, const EventLogCalls& calls, std::string* out);

template <int (*run)(const RunContext&)>
int Typed(const std::string& arguments, const std::string& input, const std::string& log,
          const EventLogCalls& calls, std::string* out) {
    RunContext context = ParseWords(arguments + " /log:" + log);
    context.eventLog = calls;
    int exitCode = -1;
    *out = WithConsole(input, [&] { exitCode = run(context); });
    return exitCode;
}

int Fleet(const RunContext& context) { return RunFleet(context); }

// As the engine starts it: the desired state (`input`, the log added) on a
// pipe; standard error after standard output.
int DscSet(const std::string& arguments, const std::string& input, const std::string& log,
           const EventLogCalls& calls, std::string* out) {
    RunContext context = ParseWords(arguments);
    context.eventLog = calls;
    std::string escaped;
    for (char c : log) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string desired =
        input.substr(0, input.size() - 1) + ",\"logPath\":\"" + escaped + "\"}";
    HANDLE reader, writer;
    DWORD written = 0;
    EXPECT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
    WriteFile(writer, desired.data(), static_cast<DWORD>(desired.size()), &written, nullptr);
    CloseHandle(writer);
    const HANDLE savedInput = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, reader);
    const std::string errors = log + ".stderr";
    std::fflush(stderr);
    const int savedErrors = _dup(2);
    const int file = _open(errors.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
    _dup2(file, 2);
    int exitCode = -1;
    *out = WithConsole("", [&] { exitCode = RunDsc(context); });
    std::fflush(stderr);
    _dup2(savedErrors, 2);
    _close(savedErrors);
    _close(file);
    SetStdHandle(STD_INPUT_HANDLE, savedInput);
    CloseHandle(reader);
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(errors, &bytes));
    *out += bytes;
    return exitCode;
}

class EventLogFailure : public ScratchFolderTest {
  protected:
    // Every rule broken: each run writes. Returns its exit code; its output in
    // `out` and its log's lines in `logged`.
    int Run(FrontEnd frontEnd, const std::string& arguments, const std::string& input,
            const EventLogCalls& calls, std::string* out, std::vector<std::string>* logged) {
        fakeRegistry.Reset();
        fakeRegistry.keys[ServerKeyPath] = {
            {"Enable Login Auth", "no"}, {"Enable CR Auth", "no"}, {"LdapSuffix", "dc=old"}};
        fakeRegistry.keys[ClientKeyPath] = {{"DNSuffix", "dc=new"}};
        const std::string log = InFolder("run.log");
        DeleteFileA(log.c_str());
        const int exitCode = frontEnd(arguments, input, log, calls, out);
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(log, &bytes));
        logged->clear();
        for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
            logged->push_back(bytes.substr(at, end - at));
        return exitCode;
    }
};

TEST_F(EventLogFailure, ChangesNoExitCodeNorResultAndIsToldOnceInTheOutputAndTheLog) {
    const struct {
        FrontEnd frontEnd;
        const char* arguments;
        const char* input;
        Told told;
    } cases[] = {
        {Typed<Fleet>, "/repair /suffix:dc=x", "", BeforeTheResult},
        {Typed<Fleet>, "/repair /suffix:dc=x /json", "", InTheDocument},
        {Typed<RunInteractive>, "", "n\ndc=x\ny\n", AtTheEnd},
    };
    for (const auto& c : cases) {
        std::string reported;
        std::vector<std::string> reportedLog;
        const int exitCode =
            Run(c.frontEnd, c.arguments, c.input, EventLogCalls(), &reported, &reportedLog);
        EXPECT_EQ(0u, Count(reported, kEventLogPrefix)) << reported;
        ASSERT_FALSE(reportedLog.empty()) << c.arguments;
        for (const auto& failure : kFailures) {
            SCOPED_TRACE(std::string(c.arguments) + " | " + failure.problem);
            std::string out;
            std::vector<std::string> logged;
            EXPECT_EQ(exitCode,
                      Run(c.frontEnd, c.arguments, c.input, failure.calls, &out, &logged));
            EXPECT_EQ(c.told(reported, failure.problem), out);
            EXPECT_EQ(1u, Count(out, failure.problem)) << out;
            // One line more in the log, after the same RESULT line.
            ASSERT_EQ(reportedLog.size() + 1, logged.size());
            const std::string& result = reportedLog.back();
            const std::string& before = logged[logged.size() - 2];
            EXPECT_EQ(result.substr(result.find("RESULT")), before.substr(before.find("RESULT")));
            EXPECT_NE(std::string::npos,
                      logged.back().find(kEventLogPrefix + std::string(failure.problem)));
        }
    }
}

// RunDsc takes the tool's one-copy lock, which this process then holds to its
// end (as the exe does), so it runs here once, with the failure to open the source.
TEST_F(EventLogFailure, ADscSetWarnsInTheEngineLog) {
    std::string out;
    std::vector<std::string> logged;
    const auto& failure = kFailures[0];
    ASSERT_EQ(0, Run(DscSet, "/dsc:set", "{\"suffix\":\"dc=x\"}", failure.calls, &out, &logged));
    const size_t properties = out.find("]\n");  // the last instance line: the properties set
    ASSERT_NE(std::string::npos, properties) << out;
    EXPECT_EQ(InTheEngineLog("", failure.problem), out.substr(properties + 2));
    ASSERT_LE(2u, logged.size());
    EXPECT_NE(std::string::npos,
              logged[logged.size() - 2].find("RESULT: compliant, 4 changes made"));
    EXPECT_NE(std::string::npos,
              logged.back().find(kEventLogPrefix + std::string(failure.problem)));
}

}  // namespace
