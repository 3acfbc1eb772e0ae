#include <string>

#include "audit_log.h"
#include "check_run.h"
#include "command_line.h"
#include "console.h"
#include "rules.h"
#include "run_context.h"
#include "single_copy.h"
#include "text_encoding.h"
#include "texts.h"
#include "unattended_run.h"
#include "value_rules.h"

extern "C" int __cdecl __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment,
                                      int expandWildcards, int* startInfo);

namespace {

// The C runtime hands main its arguments converted to the ANSI code page with
// best-fit mapping, so "/suffix:dc=дом" arrives as "/suffix:dc=???", a value
// nobody asked for. The value is only taken when the argument as typed, in
// UTF-16, is exactly what arrived.
bool ArgumentIsAsTyped(int argc, char** argv, int index) {
    int count = 0;
    wchar_t** typed = nullptr;
    wchar_t** environment = nullptr;
    int newMode = 0;
    if (__wgetmainargs(&count, &typed, &environment, 0, &newMode) != 0 || count != argc) {
        return false;
    }
    return WideFromAnsi(argv[index]) == typed[index];
}

// Ends a run that read and wrote nothing: interactive runs print the error
// line they always have, unattended ones the RESULT line.
int Refuse(const RunContext& context, const std::string& interactiveLine,
           const std::string& reason) {
    if (!context.Unattended()) PrintLine(interactiveLine);
    RunRecord run(context);
    run.failure = reason;
    return EndRun(run);
}

}  // namespace

int main(int argc, char** argv) {
    StartConsole();
    CommandLine options = ParseCommandLine(argc, argv);
    if (options.mode == RunMode::Usage) {
        ShowUsage();
        return 0;
    }
    if (options.error.empty() && options.hasSuffix) {
        const Refusal* refusal = ArgumentIsAsTyped(argc, argv, options.suffixArgument)
                                     ? ValueRefusal(options.suffix)
                                     : &kValueNotStorable;
        if (refusal != nullptr) {
            options.error = std::string(kSuffixRefused) + refusal->reason;
        }
    }
    // A usage error reads and writes nothing, in every mode.
    if (!options.error.empty()) {
        PrintLine(kResultFailed + options.error);
        return 1;
    }
    const RunContext context = ContextFor(options);
    if (!TakeSingleCopyLock()) {
        return Refuse(context, kAnotherCopyRunning, kAnotherCopyReason);
    }
    if (!context.logFile.empty() && !CanAppendToLog(context.logFile)) {
        const std::string reason = kLogNotOpened + context.logFile + kForAppending;
        return Refuse(context, kErrorPrefix + reason + kNothingChecked, reason);
    }
    if (!context.Unattended()) return RunCheck(context);
    return RunUnattended(context);
}
