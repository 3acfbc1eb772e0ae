#include "command_line.h"

#include "console.h"
#include "rules.h"
#include "shown_text.h"

extern "C" int __cdecl __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment,
                                      int expandWildcards, int* startInfo);

namespace {

// kNone, no switch, is also their number.
enum SwitchId { kHelp, kCheck, kRepair, kSuffix, kWhatIf, kBackup, kLog, kReg, kJson, kDsc, kNone };

const char* const kSwitchNames[kNone] = {"?",      "check", "repair", "suffix", "whatif",
                                         "backup", "log",   "reg",    "json",   "dsc"};

// At most 40 lines of at most 79 columns: an 80-column console shows it unwrapped.
const char* const kUsage[] = {
    "Usage: Sorvane [/check | /repair [/suffix:VALUE] [/whatif]] [/json]",
    "               [/backup:FILE] [/log:FILE] [/reg:32 | /reg:64]",
    "       Sorvane [1]    the interactive tool; any argument that is no switch",
    "                      makes it verbose",
    "       Sorvane /dsc:get | /dsc:test | /dsc:set [/whatif]",
    "                      a resource of DSC 3 (Sorvane.dsc.resource.json): the",
    "                      desired state as one JSON object on standard input",
    "",
    "  /check          check the four LDAP values against the rules; no writes",
    "  /repair         correct what the rules require, then check as /check",
    "  /suffix:VALUE   with /repair: the value Rule Two writes to LdapSuffix and",
    "                  DNSuffix; quote one with blanks: /suffix:\"dc=a, dc=b\"",
    "  /whatif         with /repair: show what would be written; write nothing",
    "  /backup:FILE    first save the four values to FILE, or beside it when it",
    "                  exists, or dated into FILE when it is a folder (restore",
    "                  into their view: reg import, as it says)",
    "  /log:FILE       append every write and the result to FILE (UTF-8); a",
    "                  check logs its result; /whatif writes no log",
    "  /reg:32|/reg:64 use the 32-bit or the 64-bit registry view",
    "  /json           with /check or /repair: print one JSON document instead,",
    "                  values exact and whole (text output stays under 2,048",
    "                  characters; the document has no such bound)",
    "  /?              show this text (alone: with a mode it is a usage error)",
    "Switches begin with / or - in any case. Sorvane64.exe (for 64-bit Windows",
    "without WoW64) takes the same. A run ends with a RESULT: line:",
    "  RESULT: compliant[, N changes made]",
    "  RESULT: not compliant[, N changes made] - what is still wrong",
    "  RESULT: failed - why",
    "",
    "Exit codes: 0 compliant (for /repair: after the run), 2 not compliant,",
    "            1 failed (usage error, or a value could not be read or written)",
    "A failed run's reasonId (/json, DSC): usageError, anotherCopyRunning,",
    "  keysUnreadable, notWritable, backupNotWritten, logNotWritten",
    "",
    "Fleet scripts (ConfigMgr, Intune, PowerShell remoting, Ansible) and the",
    "PowerShell module Sorvane ship in the fleet and PowerShell folders of the",
    "release; GUIDE.txt tells how to use them.",
};

// Matched in ASCII only: the locale-aware routines need user32.
SwitchId FindSwitch(const std::wstring& argument, bool* hasValue, std::wstring* value) {
    if (argument.empty() || (argument[0] != L'/' && argument[0] != L'-')) return kNone;
    const size_t colon = argument.find(L':');
    std::string name;
    for (wchar_t c : argument.substr(1, colon == std::wstring::npos ? colon : colon - 1)) {
        if (c > 0x7F) return kNone;
        name += static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    *hasValue = colon != std::wstring::npos;
    *value = *hasValue ? argument.substr(colon + 1) : std::wstring();
    for (int id = 0; id < kNone; ++id) {
        if (name == kSwitchNames[id]) return static_cast<SwitchId>(id);
    }
    return kNone;
}

void SetError(RunContext* context, const std::string& error) {
    if (context->usageError.empty()) context->usageError = error;
}

void TakeSwitch(SwitchId id, bool hasValue, const std::wstring& value, RunContext* context,
                std::wstring* typedSuffix) {
    const std::string slash = std::string("/") + kSwitchNames[id];
    const bool takesValue =
        id == kSuffix || id == kBackup || id == kLog || id == kReg || id == kDsc;
    if (!takesValue && hasValue) {
        SetError(context, slash + " takes no value.");
    } else if (id == kWhatIf || id == kJson) {
        (id == kWhatIf ? context->whatIf : context->json) = true;
    } else if (id == kSuffix && value.empty()) {
        SetError(context, "/suffix needs a value: /suffix:VALUE.");
    } else if (id == kSuffix) {
        *typedSuffix = value;
    } else if ((id == kBackup || id == kLog) && value.empty()) {
        SetError(context, slash + " needs a file name: " + slash + ":FILE.");
    } else if (id == kBackup || id == kLog) {
        (id == kBackup ? context->backupFile : context->logFile) = value;
    } else if (id == kReg && (value == L"32" || value == L"64")) {
        context->view = RegistryView(value == L"64");
    } else if (id == kReg) {
        SetError(context, "/reg takes 32 or 64: /reg:32 or /reg:64.");
    } else if (id == kDsc && (value == L"get" || value == L"test" || value == L"set")) {
        context->dscOperation = value == L"get"    ? DscOperation::kGet
                                : value == L"test" ? DscOperation::kTest
                                                   : DscOperation::kSet;
    } else if (id == kDsc) {
        SetError(context, "/dsc takes get, test or set: /dsc:get, /dsc:test or /dsc:set.");
    }
}

}  // namespace

std::vector<std::wstring> TypedArguments() {
    int count = 0;
    wchar_t** typed = nullptr;
    wchar_t** environment = nullptr;
    int newMode = 0;
    std::vector<std::wstring> arguments;
    if (__wgetmainargs(&count, &typed, &environment, 0, &newMode) != 0) return arguments;
    for (int index = 1; index < count; ++index) arguments.push_back(typed[index]);
    return arguments;
}

RunContext ParseCommandLine(const std::vector<std::wstring>& arguments) {
    RunContext context;
    bool seen[kNone] = {};
    bool anyOther = false;
    std::wstring firstOther;
    std::wstring typedSuffix;
    for (const std::wstring& argument : arguments) {
        bool hasValue = false;
        std::wstring value;
        const SwitchId id = FindSwitch(argument, &hasValue, &value);
        if (id == kNone) {
            if (!anyOther) firstOther = argument;
            anyOther = true;
            continue;
        }
        if (seen[id] && id != kHelp) {
            SetError(&context, std::string("/") + kSwitchNames[id] + " is given twice.");
            continue;
        }
        seen[id] = true;
        if (id != kHelp) TakeSwitch(id, hasValue, value, &context, &typedSuffix);
    }
    // A detection script that reads exit 0 as compliant must not get it from
    // a call that checked nothing, and /json must get its document.
    const bool modeGiven = seen[kCheck] || seen[kRepair] || seen[kDsc];
    if (seen[kHelp] && !modeGiven && !seen[kJson]) {
        RunContext usage;
        usage.mode = RunMode::kUsage;
        return usage;
    }
    if (seen[kHelp]) SetError(&context, "/? shows the usage and checks nothing: give it alone.");

    // The engine hands the desired state over on standard input, nothing else.
    for (int id = kCheck; seen[kDsc] && id < kDsc; ++id) {
        if (seen[id] && id != kWhatIf) {
            SetError(&context, std::string("/") + kSwitchNames[id] +
                                   " does not work with /dsc:, whose desired state says the rest.");
        }
    }
    if (seen[kDsc] && seen[kWhatIf] && context.dscOperation != DscOperation::kSet) {
        SetError(&context, "/whatif works only with /repair or /dsc:set.");
    }
    if (seen[kCheck] && seen[kRepair]) {
        SetError(&context, "/check and /repair cannot be used together.");
    } else if (anyOther && modeGiven) {
        SetError(&context, "Unknown argument \"" + ScreenName(firstOther, 100) + "\".");
    }
    if (seen[kSuffix] && !seen[kRepair]) SetError(&context, "/suffix works only with /repair.");
    if (seen[kWhatIf] && !seen[kRepair] && !seen[kDsc]) {
        SetError(&context, "/whatif works only with /repair.");
    }
    if (seen[kJson] && !modeGiven) SetError(&context, "/json works only with /check or /repair.");
    if (!typedSuffix.empty() && context.usageError.empty()) {
        const Refusal* refusal = TypedValueRefusal(typedSuffix, &context.suffix);
        if (refusal != nullptr) {
            SetError(&context, std::string("the /suffix: value ") + refusal->reason);
        }
    }
    // The audit log would lose its history to the backup.
    if (!context.backupFile.empty() && !context.logFile.empty() &&
        NameSameFile(context.backupFile, context.logFile)) {
        SetError(&context, "/backup and /log name the same file.");
    }

    context.mode = seen[kDsc]      ? RunMode::kDsc
                   : seen[kCheck]  ? RunMode::kCheck
                   : seen[kRepair] ? RunMode::kRepair
                                   : RunMode::kInteractive;
    context.verbose = context.mode == RunMode::kInteractive && anyOther;
    return context;
}

void ShowUsage() {
    for (const char* text : kUsage) PrintLine(text);
}
