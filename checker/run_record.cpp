#include "run_record.h"

#include "text_encoding.h"
#include "texts.h"

namespace {

const int kExitCompliant = 0;
const int kExitFailed = 1;
const int kExitNotCompliant = 2;

}  // namespace

std::string AlreadyWritten(const RunRecord& run) {
    std::vector<std::string> names;
    for (const WriteRecord& write : run.writes) {
        if (write.done) names.push_back(kSettings[write.setting].valueName);
    }
    return names.empty() ? std::string() : kAlreadyWritten + Joined(names, ", ");
}

std::string FailureReason(const RunRecord& run) {
    if (run.keysInOtherView == KEY_WOW64_64KEY) return run.failure + kKeysInOther64Note;
    if (run.keysInOtherView == KEY_WOW64_32KEY) return run.failure + kKeysInOther32Note;
    return run.failure;
}

std::string ResultLine(const RunRecord& run) {
    if (!run.failure.empty()) return kResultFailed + FailureReason(run);
    const std::string changes = std::to_string(run.changeCount) + kChangesCounted;
    if (!run.problems.empty()) {
        const std::string problems = Joined(run.problems, "; ");
        if (run.context.MayWrite() && run.changeCount > 0) {
            return kResultNotCompliantAfter + changes + kWhatIsStillWrong + problems;
        }
        return kResultNotCompliant + problems;
    }
    std::string line = kResultCompliant;
    if (run.context.MayWrite()) line += ", " + changes;
    return line;
}

int ExitCode(const RunRecord& run) {
    if (!run.failure.empty()) return kExitFailed;
    if (!run.context.Unattended()) return kExitCompliant;
    return run.problems.empty() ? kExitCompliant : kExitNotCompliant;
}
