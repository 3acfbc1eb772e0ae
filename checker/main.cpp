#include "command_line.h"
#include "console.h"
#include "host.h"
#include "run.h"
#include "run_files.h"
#include "text_encoding.h"

namespace {

int Refuse(const RunContext& context, const std::string& interactiveLine,
           const std::string& reason) {
    RunRecord run(context);
    return ShowOutcome(run, RefuseRun(&run, interactiveLine, reason));
}

}  // namespace

int main() {
    StartConsole();
    RunContext context = ParseCommandLine(TypedArguments());
    if (context.mode == RunMode::kUsage) {
        ShowUsage();
        return 0;
    }
    // Its refusals, the lock and the log are told on standard error, as the engine reads them.
    if (context.mode == RunMode::kDsc) return RunDsc(context);
    // A usage error reads and writes nothing, in every mode: nothing goes to
    // a log or a backup, and /json still gets its document.
    if (!context.usageError.empty()) {
        context.backupFile.clear();
        context.logFile.clear();
        return Refuse(context, ScreenText(kResultFailed + context.usageError), context.usageError);
    }
    if (!TakeSingleCopyLock()) {
        return Refuse(context,
                      kErrorPrefix + std::string(kAnotherCopyRunning) +
                          ", let it finish and run Sorvane again",
                      kAnotherCopyRunning);
    }
    if (context.KeepsLog() && !CanAppendToLog(context.logFile)) {
        const std::string reason = CannotAppendReason(context.logFile);
        context.logFile.clear();  // nothing more goes to a log that cannot be opened
        return Refuse(context, ScreenText(kErrorPrefix + reason + ", nothing was checked"), reason);
    }
    return context.Unattended() ? RunFleet(context) : RunInteractive(context);
}
