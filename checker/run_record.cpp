#include "run_record.h"

#include "text_encoding.h"
#include "texts.h"

std::string AlreadyWritten(const RunRecord& run) {
    std::vector<std::string> names;
    for (const WriteRecord& write : run.writes) {
        if (write.done) names.push_back(kSettings[write.setting].valueName);
    }
    return names.empty() ? std::string() : "; already written: " + Joined(names, ", ");
}

std::string FailureReason(const RunRecord& run) {
    if (run.keysInOtherView == 0) return run.failure;
    const char* bits = run.keysInOtherView == KEY_WOW64_64KEY ? "64" : "32";
    return run.failure + "; the keys are in the " + bits + "-bit registry view (/reg:" + bits + ")";
}

std::string ResultLine(const RunRecord& run) {
    if (!run.failure.empty()) return kResultFailed + FailureReason(run);
    const std::string changes = std::to_string(run.changeCount) + " changes made";
    const bool counts = run.context.MayWrite();
    if (run.problems.empty()) return "RESULT: compliant" + (counts ? ", " + changes : "");
    const std::string problems = Joined(run.problems, "; ");
    if (counts && run.changeCount > 0)
        return "RESULT: not compliant, " + changes + " - " + problems;
    return "RESULT: not compliant - " + problems;
}

int ExitCode(const RunRecord& run) {
    if (!run.failure.empty()) return 1;
    return run.context.Unattended() && !run.problems.empty() ? 2 : 0;
}
