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
    // A usage error reads and writes nothing, in every mode: nothing goes to
    // a log or a backup, and /json still gets its document.
    if (!context.usageError.empty()) {
        context.backupFile.clear();
        context.logFile.clear();
        return Refuse(context, ScreenText(kResultFailed + context.usageError), context.usageError);
    }
    const std::string another = "another copy of Sorvane is running";
    if (!TakeSingleCopyLock()) {
        return Refuse(context, kErrorPrefix + another + ", let it finish and run Sorvane again",
                      another);
    }
    if (context.KeepsLog() && !CanAppendToLog(context.logFile)) {
        const std::string reason =
            "could not open the log " + ShownName(context.logFile) + " for appending";
        context.logFile.clear();  // nothing more goes to a log that cannot be opened
        return Refuse(context, ScreenText(kErrorPrefix + reason + ", nothing was checked"), reason);
    }
    return context.Unattended() ? RunFleet(context) : RunInteractive(context);
}
