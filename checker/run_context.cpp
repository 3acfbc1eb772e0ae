#include "run_context.h"

bool QueryTokenElevation() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

REGSAM RunView(REGSAM asked) {
    const REGSAM kDefaultView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
    return asked != 0 ? asked : kDefaultView;
}

RunContext ContextFor(const CommandLine& options) {
    RunContext context;
    context.mode = options.mode;
    context.verbose = options.verbose;
    context.whatIf = options.whatIf;
    context.hasSuffix = options.hasSuffix;
    context.suffix = options.suffix;
    context.view = RunView(options.view);
    // Reads ask for reading only, so a check needs no more rights than that,
    // and no elevation where the keys' access lists allow reading.
    context.readAccess = context.Unattended() ? KEY_READ : KEY_ALL_ACCESS;
    context.backupFile = options.backupFile;
    context.logFile = options.logFile;
    return context;
}
