// The DSC 3 front end. A configuration engine (dsc, WinGet's dscv3 processor,
// Ansible's dsc3 module) starts the exe as its manifest says, /dsc:get,
// /dsc:test or /dsc:set [/whatif], writes the desired state as one JSON object
// to standard input and closes it, reads standard output whole as the instance
// lines, standard error as JSON lines of its log, and takes any exit code but 0
// for a failure. So the settings in or out of the desired state exit 0.
#include <windows.h>

#include <cstdio>

#include "audit_log.h"
#include "console.h"
#include "dsc_desired_state.h"
#include "dsc_instance.h"
#include "front_ends.h"
#include "run.h"
#include "shown_text.h"

namespace {

// Each listed and described in the manifest's exitCodes.
enum DscExit { kDscSucceeded = 0, kDscFailed = 1, kDscRefused = 2, kDscAnotherCopy = 3 };

const size_t kLongestDesiredState = 64 * 1024;  // far more than one of this resource holds

void Log(const char* level, const Utf8Text& text) {
    std::fputs((DscLogLine(level, text) + "\n").c_str(), stderr);
    std::fflush(stderr);
}

int Fail(DscExit code, const Utf8Text& reason) {
    Log("error", reason);
    return code;
}

// To its end. A console (or NUL) is never read: the engine hands a get for no
// properties its own standard input, and nobody is there to type.
bool ReadDesiredState(Utf8Text* text, Utf8Text* refusal) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return true;
    if (GetFileType(input) == FILE_TYPE_CHAR) return true;
    char chunk[4096];
    DWORD count = 0;
    while (text->size() <= kLongestDesiredState) {
        if (!ReadFile(input, chunk, sizeof chunk, &count, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) return true;  // the writer closed it
            *refusal = "standard input could not be read";
            return false;
        }
        if (count == 0) return true;
        text->append(chunk, count);
    }
    *refusal = "the desired state is longer than 64 KiB";
    return false;
}

}  // namespace

int RunDsc(const RunContext& parsed) {
    if (!parsed.usageError.empty()) return Fail(kDscRefused, parsed.usageError);
    const DscOperation operation = parsed.dscOperation;
    std::string input;
    std::string refusal;
    if (!ReadDesiredState(&input, &refusal)) return Fail(kDscRefused, refusal);
    // Only a get comes without properties; a test or a set must say what is desired.
    DesiredState desired;
    if (input.empty() && operation != DscOperation::kGet) {
        return Fail(kDscRefused, "the desired state must be one JSON object on standard input");
    }
    if (!ParseDesiredState(input, &desired, &refusal)) return Fail(kDscRefused, refusal);

    // The suffix given is written wherever a value does not hold it, also where
    // the two agree on another; Rule One's "Yes" where it fails. Only a set
    // writes, and keeps records of it.
    Screen silent;
    FrontEnd frontEnd{silent, {desired.view, KEY_READ, parsed.processIsElevated}};
    frontEnd.policies = kKeepsRecords | kSuffixIsDesired;
    if (operation == DscOperation::kSet)
        frontEnd.policies |= parsed.whatIf ? kMends : kMends | kWrites;
    frontEnd.suffix = desired.suffix;
    frontEnd.viewNamed[0] = "(\"view\": \"";
    frontEnd.viewNamed[1] = "\")";
    if ((frontEnd.policies & kWrites) != 0) {
        frontEnd.backupFile = desired.backupPath;
        frontEnd.logFile = desired.logPath;
    }
    if (!frontEnd.backupFile.empty() && !frontEnd.logFile.empty() &&
        NameSameFile(frontEnd.backupFile, frontEnd.logFile)) {
        return Fail(kDscRefused, "\"backupPath\" and \"logPath\" name the same file");
    }
    if (!TakeSingleCopyLock()) return Fail(kDscAnotherCopy, kAnotherCopyRunning);
    if (!frontEnd.logFile.empty() && !CanAppendToLog(frontEnd.logFile)) {
        return Fail(kDscFailed, CannotAppendReason(frontEnd.logFile));
    }

    RunRecord run;
    CheckAndRepair(frontEnd, &run);
    if (!run.failure.empty()) return Fail(kDscFailed, run.failure);
    if (!run.backupFile.empty()) {
        Log("info", "the values before the writes are saved in " + ShownName(run.backupFile));
    }
    const DscOutput output = MakeDscOutput(run, desired, operation);
    for (const std::string& line : output.lines) PrintLine(line);
    // Only Rule Two without a suffix can be left so; the engine would call it done.
    if (operation == DscOperation::kSet && !output.problems.empty()) {
        Log("warn", "still not in the desired state: " + Joined(output.problems, "; ") +
                        (desired.suffix.empty() ? " (give \"suffix\" to repair it)" : ""));
    }
    return kDscSucceeded;
}
