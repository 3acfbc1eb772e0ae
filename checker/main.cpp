#include "audit_log.h"
#include "command_line.h"
#include "console.h"
#include "front_ends.h"
#include "run.h"

int main() {
    StartConsole();
    const RunContext context = ParseCommandLine(TypedArguments());
    if (context.mode == RunMode::kUsage) {
        ShowUsage();
        return 0;
    }
    // Its refusals, the lock and the log are told on standard error, as the engine reads them.
    if (context.mode == RunMode::kDsc) return RunDsc(context);
    // In the order that makes a refusal say its real reason. A run refused
    // reads and writes nothing, not even to its log, and /json still gets its document.
    Failure refusal;
    AnsiText line;  // the dialogue's
    if (!context.usageError.empty()) {
        refusal = {ReasonId::kUsageError, context.usageError};
        line = ScreenText(kResultFailed + refusal.reason);
    } else if (!TakeSingleCopyLock()) {
        refusal = {ReasonId::kAnotherCopyRunning, kAnotherCopyRunning};
        line = kErrorPrefix + refusal.reason + ", let it finish and run Sorvane again";
    } else if (!context.logFile.empty() && !context.whatIf && !CanAppendToLog(context.logFile)) {
        refusal = {ReasonId::kLogNotWritten, CannotAppendReason(context.logFile)};
        line = ScreenText(kErrorPrefix + refusal.reason + ", nothing was checked");
    }
    if (context.mode != RunMode::kInteractive || context.json) return RunFleet(context, refusal);
    if (refusal.id == ReasonId::kNone) return RunInteractive(context);
    PrintLine(line);
    return 1;
}
