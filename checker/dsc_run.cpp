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

void Log(const std::string& line) {
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

// The code is the reason's: a refusal, another copy, or any other failure.
int Fail(const Failure& failure) {
    Log(DscErrorLine(failure));
    if (failure.id == ReasonId::kUsageError) return kDscRefused;
    return failure.id == ReasonId::kAnotherCopyRunning ? kDscAnotherCopy : kDscFailed;
}

int Refuse(const Utf8Text& reason) { return Fail({ReasonId::kUsageError, reason}); }

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

// The suffix given is written wherever a value does not hold it, also where the
// two agree on another; Rule One's "Yes" where it fails. Only a set writes, and
// keeps records of it.
unsigned DscPolicies(DscOperation operation, bool whatIf, bool suffixGiven) {
    unsigned policies = kKeepsRecords | (suffixGiven ? unsigned{kSuffixIsDesired} : 0u);
    if (operation == DscOperation::kSet) policies |= whatIf ? kMends : kMends | kWrites;
    return policies;
}

int RunDsc(const RunContext& parsed) {
    if (!parsed.usageError.empty()) return Refuse(parsed.usageError);
    const DscOperation operation = parsed.dscOperation;
    std::string input;
    std::string refusal;
    if (!ReadDesiredState(&input, &refusal)) return Refuse(refusal);
    // Only a get comes without properties; a test or a set must say what is desired.
    DesiredState desired;
    if (input.empty() && operation != DscOperation::kGet) {
        return Refuse("the desired state must be one JSON object on standard input");
    }
    if (!ParseDesiredState(input, &desired, &refusal)) return Refuse(refusal);

    Screen silent;
    RunRequest request{silent, {desired.view, KEY_READ, parsed.processIsElevated}};
    request.policies = DscPolicies(operation, parsed.whatIf, desired.suffixGiven);
    request.suffix = desired.suffixText;
    request.desiredSuffix = desired.suffix;
    request.suffixRefusal = desired.suffixRefusal;
    request.viewNamed[0] = "(\"view\": \"";
    request.viewNamed[1] = "\")";
    if ((request.policies & kWrites) != 0) {
        request.backupFile = desired.backupPath;
        request.logFile = desired.logPath;
    }
    if (!request.backupFile.empty() && !request.logFile.empty() &&
        NameSameFile(request.backupFile, request.logFile)) {
        return Refuse("\"backupPath\" and \"logPath\" name the same file");
    }
    if (!TakeSingleCopyLock()) return Fail({ReasonId::kAnotherCopyRunning, kAnotherCopyRunning});
    if (!request.logFile.empty() && !CanAppendToLog(request.logFile)) {
        return Fail({ReasonId::kLogNotWritten, CannotAppendReason(request.logFile)});
    }

    RunRecord run;
    CheckAndRepair(request, &run);
    if (run.Failed()) return Fail(run.failure);
    if (!run.backupFile.empty()) {
        Log(DscLogLine("info",
                       "the values before the writes are saved in " + ShownName(run.backupFile)));
    }
    const bool planned = operation == DscOperation::kSet && parsed.whatIf;
    const RunRecord& shown = planned ? AsPlannedWritesLeaveIt(request, run) : run;
    for (const std::string& line : DscInstanceLines(shown, desired, operation)) PrintLine(line);
    // Only Rule Two without a suffix can be left so; the engine would call it done.
    if (operation == DscOperation::kSet && !shown.problems.empty()) {
        Log(DscLogLine("warn", "still not in the desired state: " + Joined(shown.problems, "; ") +
                                   (desired.suffixGiven ? "" : " (give \"suffix\" to repair it)")));
    }
    return run.verdict.exitCode;
}
