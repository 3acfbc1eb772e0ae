#include <string>

#include "audit_log.h"
#include "check_run.h"
#include "command_line.h"
#include "console.h"
#include "file_names.h"
#include "rules.h"
#include "run_context.h"
#include "single_copy.h"
#include "text_encoding.h"
#include "texts.h"
#include "unattended_run.h"
#include "value_rules.h"

namespace {

// The C runtime hands main its arguments converted to the ANSI code page with
// best-fit mapping, so "/suffix:dc=дом" arrives as "/suffix:dc=???", a value
// nobody asked for. The value is only taken when the argument as typed, in
// UTF-16, is exactly what arrived.
bool ArgumentIsAsTyped(char** argv, int index) {
    return WideFromAnsi(argv[index]) == TypedArgument(index);
}

// The value of a /backup: or /log: argument as typed: its file name.
std::wstring TypedFileName(int index) {
    const std::wstring typed = TypedArgument(index);
    const size_t colon = typed.find(L':');
    return colon == std::wstring::npos ? std::wstring() : typed.substr(colon + 1);
}

// Ends a run that read and wrote nothing: interactive runs print the error
// line they always have, unattended ones the RESULT line.
int Refuse(const RunContext& context, const std::string& interactiveLine,
           const std::string& reason) {
    if (!context.Unattended()) PrintLine(interactiveLine);
    RunRecord run(context);
    run.failure = reason;
    return EndRun(&run);
}

}  // namespace

int main(int argc, char** argv) {
    StartConsole();
    CommandLine options = ParseCommandLine(argc, argv);
    if (options.mode == RunMode::Usage) {
        ShowUsage();
        return 0;
    }
    if (options.backupArgument != 0)
        options.typedBackupFile = TypedFileName(options.backupArgument);
    if (options.logArgument != 0) options.typedLogFile = TypedFileName(options.logArgument);
    if (options.error.empty() && options.hasSuffix) {
        const Refusal* refusal = ArgumentIsAsTyped(argv, options.suffixArgument)
                                     ? ValueRefusal(options.suffix)
                                     : &kValueNotStorable;
        if (refusal != nullptr) {
            options.error = std::string(kSuffixRefused) + refusal->reason;
        }
    }
    RunContext context = ContextFor(options);
    // The audit log would lose its history to the backup.
    if (options.error.empty() && !context.backupFile.empty() && !context.logFile.empty() &&
        NameSameFile(context.backupFile, context.logFile)) {
        options.error = kSameFile;
    }
    // A usage error reads and writes nothing, in every mode.
    if (!options.error.empty()) {
        if (!options.json) {
            PrintLine(kResultFailed + options.error);
            return 1;
        }
        // The document says it; nothing goes to a log or a backup.
        context.backupFile.clear();
        context.logFile.clear();
        RunRecord run(context);
        run.failure = Utf8FromAnsi(options.error);
        return EndRun(&run);
    }
    if (!TakeSingleCopyLock()) {
        return Refuse(context, kAnotherCopyRunning, kAnotherCopyReason);
    }
    if (!context.logFile.empty() && !CanAppendToLog(context.logFile)) {
        const std::string reason = kLogNotOpened + Utf8FromWide(context.logFile) + kForAppending;
        context.logFile.clear();  // nothing more goes to a log that cannot be opened
        return Refuse(context, ScreenText(kErrorPrefix + reason + kNothingChecked), reason);
    }
    if (!context.Unattended()) return RunCheck(context);
    return RunUnattended(context);
}
