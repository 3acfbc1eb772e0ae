// In-process benchmarks of RegistryKey against the raw registry calls, and
// the timing of whole runs of the tool against a bare console program, both
// started from here so that the Unix-side launcher is not part of the figure.
//
//   bench_registry seed
//   bench_registry startup TOOL.exe BARE.exe PAIRS
//   bench_registry openread CYCLES
//   bench_registry walk COUNT
#include "registry_bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "timing.h"

namespace {

using bench::Format;
using bench::Median;
using bench::Now;

const char kServerSub[] = "SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
const char kClientSub[] = "SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";
const char kServerFull[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
const char kSuffix[] = "dc=brimsek,dc=com";
// The view the tool opens its keys in: the 32-bit one, which the 64-bit build
// asks for by name. Every program here works on those keys.
const REGSAM kToolView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;

bool SetText(HKEY root, const char* sub, const char* name, const char* text) {
    HKEY key;
    if (RegCreateKeyExA(root, sub, 0, nullptr, 0, KEY_ALL_ACCESS | kToolView, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>(std::strlen(text) + 1));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

// All four settings as the tool wants them, so a run makes no change.
int Seed() {
    bool ok = SetText(HKEY_LOCAL_MACHINE, kServerSub, "Enable Login Auth", "Yes") &&
              SetText(HKEY_LOCAL_MACHINE, kServerSub, "Enable CR Auth", "Yes") &&
              SetText(HKEY_LOCAL_MACHINE, kServerSub, "LdapSuffix", kSuffix) &&
              SetText(HKEY_LOCAL_MACHINE, kClientSub, "DNSuffix", kSuffix);
    if (!ok) std::printf("seeding the LDAP keys failed\n");
    return ok ? 0 : 1;
}

// Where a timed run's standard output goes: a pipe, as a fleet tool or a
// script captures it, or the NUL device, which the C runtime takes for a
// console and leaves unbuffered.
enum class Sink { Pipe, NulDevice };

struct TimedRun {
    double seconds = -1;  // negative when it could not be started
    DWORD exitCode = 0;
    std::string output;  // what went to the pipe
};

// Starts `exe` with `arguments`, "n" and a line end as its standard input,
// and times it from creation to exit.
TimedRun TimeProcess(const char* exe, const std::string& arguments, Sink sink) {
    TimedRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead = nullptr, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return run;
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    DWORD written;
    WriteFile(inWrite, "n\r\n", 3, &written, nullptr);
    CloseHandle(inWrite);
    if (sink == Sink::Pipe) {
        // Far more room than a run prints, so the child never waits on us.
        if (!CreatePipe(&outRead, &outWrite, &inherit, 1 << 16)) return run;
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    } else {
        outWrite = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = startup.hStdError = outWrite;
    PROCESS_INFORMATION process;
    std::string commandLine = std::string("\"") + exe + "\"" + arguments;
    double started = Now();
    BOOL created = CreateProcessA(exe, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    if (created) {
        WaitForSingleObject(process.hProcess, INFINITE);
        run.seconds = Now() - started;
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (outRead != nullptr) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(outRead, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            run.output.append(buffer, got);
        }
        CloseHandle(outRead);
    }
    return run;
}

struct StartupCase {
    std::string label;
    const char* arguments;
    Sink sink;
    const char* expected;  // the tool's whole output to a pipe
    const char* target;
    bool mends = false;  // Enable Login Auth is "no" (set untimed) before each run of the tool
};

// Interleaved pairs, the order swapped every pair so drift in the machine's
// load falls on both sides alike. Every run's output (on the NUL device, its
// exit code) is checked, so a run that failed early cannot pass for a fast one.
int TimePairs(const char* tool, const char* bare, int pairs, const StartupCase& c) {
    std::vector<double> toolTimes, bareTimes, ratios;
    for (int pair = -2; pair < pairs; ++pair) {  // two warm-up pairs, not counted
        TimedRun t, b;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (pair % 2 == 0)) {
                if (c.mends &&
                    !SetText(HKEY_LOCAL_MACHINE, kServerSub, "Enable Login Auth", "no")) {
                    std::printf("could not break Enable Login Auth for the next run\n");
                    return 1;
                }
                t = TimeProcess(tool, c.arguments, c.sink);
            } else {
                b = TimeProcess(bare, "", c.sink);
            }
        }
        bool toolRight = c.sink == Sink::Pipe ? t.output == c.expected : t.exitCode == 0;
        bool bareRight = c.sink == Sink::Pipe ? b.output == "Program has finished\r\n" : true;
        if (t.seconds < 0 || b.seconds < 0 || !toolRight || !bareRight) {
            std::printf(
                "a run went wrong (%s): tool exit %lu printed \"%s\", the bare program "
                "\"%s\"\n",
                c.label.c_str(), t.exitCode, t.output.c_str(), b.output.c_str());
            return 1;
        }
        if (pair < 0) continue;
        toolTimes.push_back(t.seconds);
        bareTimes.push_back(b.seconds);
        ratios.push_back(t.seconds / b.seconds);
    }
    bench::PrintRow(c.label + Format(" (ms, median of %.0f pairs)", pairs),
                    Format("%.1f", Median(toolTimes) * 1000),
                    Format("%.1f", Median(bareTimes) * 1000), Median(ratios), c.target);
    // The machine's load makes start times bimodal at times, and then the
    // median of each side can land in different modes; the per-pair ratio
    // above and the fastest runs below are the steadier figures.
    bench::PrintNote(
        c.label +
        Format(": fastest %.1f ms", *std::min_element(toolTimes.begin(), toolTimes.end()) * 1000) +
        Format(" against %.1f ms for the bare program",
               *std::min_element(bareTimes.begin(), bareTimes.end()) * 1000));
    return 0;
}

int Startup(const char* tool, const char* bare, int pairs) {
    const char* const terse =
        "Do you want some information about this program? Press (Y)es/(N)o\r\n\r\n"
        "Program has finished\r\n\r\n";
    const StartupCase cases[] = {
        {"Whole terse run, rules met, output to a pipe", "", Sink::Pipe, terse, "<= 1.03"},
        {"Whole terse run, rules met, output to NUL", "", Sink::NulDevice, terse, "<= 1.03"},
        {"/check, rules met, output to a pipe", " /check", Sink::Pipe,
         "Check OK - Enable Login Auth = Yes\r\nCheck OK - Enable CR Auth = Yes\r\n"
         "Check OK - LdapSuffix = DNSuffix = dc=brimsek,dc=com\r\nRESULT: compliant\r\n",
         "<= 1.05"},
        // The document names the computer and the user: its exit code is what is checked.
        {"/check /json, rules met, output to NUL", " /check /json", Sink::NulDevice, "", "<= 1.05"},
        // A write: the values read again before it and back after it, its
        // events (the write and the result) reported to the Application log.
        {"/repair, one value to write, output to a pipe", " /repair", Sink::Pipe,
         "CORRECTION NEEDED - HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV = Enable "
         "Login Auth is currently = no\r\nSHOULD BE - Yes\r\nCheck OK - Enable CR Auth = Yes\r\n"
         "Check OK - LdapSuffix = DNSuffix = dc=brimsek,dc=com\r\n"
         "WRITING HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV = Enable Login Auth = "
         "Yes\r\nRESULT: compliant, 1 changes made\r\n",
         "", true},
    };
    for (const StartupCase& c : cases) {
        if (TimePairs(tool, bare, pairs, c) != 0) return 1;
    }
    bench::PrintNote("Whole runs: each ratio is the median of the per-pair ratios");
    return 0;
}

// One cycle as the tool's store routines do it: object, Open, ReadValue, destroy.
bool CycleOurs() {
    RegistryKey key;
    key.SetAccess(KEY_ALL_ACCESS | kToolView);
    if (!key.Open(kServerFull)) return false;
    BYTE data[512];
    DWORD size = sizeof data;
    return key.ReadValue("LdapSuffix", data, &size) && size == sizeof kSuffix;
}

// The same with the raw calls and the same access rights.
bool CycleRaw(bool withRefresh) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerSub, 0, KEY_ALL_ACCESS | kToolView, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    if (withRefresh) {
        // The key-information query that every successful Open ends with.
        char classText[256];
        DWORD classSize = sizeof classText, counters[7];
        FILETIME written;
        RegQueryInfoKeyA(key, classText, &classSize, nullptr, &counters[0], &counters[1],
                         &counters[2], &counters[3], &counters[4], &counters[5], &counters[6],
                         &written);
    }
    BYTE data[512];
    DWORD size = sizeof data;
    LONG r = RegQueryValueExA(key, "LdapSuffix", nullptr, nullptr, data, &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && size == sizeof kSuffix;
}

int OpenRead(int cycles) {
    const int rounds = 10;
    const int perRound = cycles / rounds;
    double ours = 0, raw = 0, refresh = 0;
    for (int round = 0; round < rounds; ++round) {
        // Rotate which kind goes first in each round.
        for (int turn = 0; turn < 3; ++turn) {
            int kind = (turn + round) % 3;
            double started = Now();
            for (int i = 0; i < perRound; ++i) {
                bool ok = kind == 0 ? CycleOurs() : CycleRaw(kind == 2);
                if (!ok) {
                    std::printf("an open/read cycle failed (%lu)\n", GetLastError());
                    return 1;
                }
            }
            (kind == 0 ? ours : kind == 1 ? raw : refresh) += Now() - started;
        }
    }
    bench::PrintRow(Format("%.0f x Open + ReadValue + destroy (ms)", rounds * perRound),
                    Format("%.0f", ours * 1000), Format("%.0f", raw * 1000), ours / raw, "<= 1.5");
    bench::PrintRow(
        Format("%.0f x the same against raw open + RegQueryInfoKeyA + query + close (ms)",
               rounds * perRound),
        Format("%.0f", ours * 1000), Format("%.0f", refresh * 1000), ours / refresh, "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "seed") return Seed();
    if (command == "startup" && argc == 5) return Startup(argv[2], argv[3], std::atoi(argv[4]));
    if (command == "openread" && argc == 3) return OpenRead(std::atoi(argv[2]));
    if (command == "walk" && argc == 3) return bench::RunWalks(std::atoi(argv[2])) ? 0 : 1;
    std::printf(
        "usage: bench_registry seed | startup TOOL BARE PAIRS | openread CYCLES | "
        "walk COUNT\n");
    return 2;
}
