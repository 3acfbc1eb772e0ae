#include "command_line.h"

#include <cstring>

#include "console.h"
#include "text_encoding.h"

namespace {

enum SwitchId {
    kHelp,
    kCheck,
    kRepair,
    kSuffix,
    kWhatIf,
    kBackup,
    kLog,
    kReg,
    kJson,
    kSwitchCount
};

struct SwitchInfo {
    const char* name;  // lower case, without the leading / or -
    SwitchId id;
    bool takesValue;
};

const SwitchInfo kSwitches[] = {
    {"?", kHelp, false},       {"check", kCheck, false},   {"repair", kRepair, false},
    {"suffix", kSuffix, true}, {"whatif", kWhatIf, false}, {"backup", kBackup, true},
    {"log", kLog, true},       {"reg", kReg, true},        {"json", kJson, false},
};

// At most 40 lines of at most 79 columns, so it fits an 80-column console
// without wrapping. PowerShell splits a bare argument at commas, hence the
// quotes around the suffix in the PowerShell examples.
const char* const kUsage[] = {
    "Usage: Sorvane [/check | /repair [/suffix:VALUE] [/whatif]] [/json]",
    "               [/backup:FILE] [/log:FILE] [/reg:32 | /reg:64]",
    "       Sorvane [1]    the interactive tool; any argument that is no switch",
    "                      makes it verbose",
    "",
    "  /check          check the four LDAP values against the rules; no writes",
    "  /repair         correct what the rules require, then check as /check",
    "  /suffix:VALUE   with /repair: the value Rule Two writes to LdapSuffix and",
    "                  DNSuffix",
    "  /whatif         with /repair: show what would be written; write nothing",
    "  /backup:FILE    first save the four values to FILE (restore: reg import)",
    "  /log:FILE       append every write and the result to FILE (UTF-8)",
    "  /reg:32|/reg:64 use the 32-bit or the 64-bit registry view",
    "  /json           with /check or /repair: print one JSON document instead",
    "  /?              show this text",
    "Switches begin with / or - in any case. Sorvane64.exe (for 64-bit Windows",
    "without WoW64) takes the same. A run ends with a RESULT: line:",
    "  RESULT: compliant[, N changes made]",
    "  RESULT: not compliant[, N changes made] - what is still wrong",
    "  RESULT: failed - why",
    "",
    "Exit codes: 0 compliant (for /repair: after the run), 2 not compliant,",
    "            1 failed (usage error, or a value could not be read or written)",
    "",
    "Intune detection script:",
    "  C:\\Tools\\Sorvane.exe /check; if ($LASTEXITCODE -ne 0) { exit 1 }",
    "Intune remediation script:",
    "  C:\\Tools\\Sorvane.exe /repair '/suffix:dc=example,dc=com'; exit $LASTEXITCODE",
    "ConfigMgr script setting (Integer; compliance rule: equals 0), discovery:",
    "  C:\\Tools\\Sorvane.exe /check | Out-Null; $LASTEXITCODE",
    "  remediation: C:\\Tools\\Sorvane.exe /repair '/suffix:dc=example,dc=com'",
    "Ansible:",
    "  - win_command: C:\\Tools\\Sorvane.exe /check /log:C:\\Tools\\Sorvane.log",
    "    register: ldap",
    "    failed_when: ldap.rc == 1",
    "    changed_when: ldap.rc == 2",
    "PowerShell remoting:",
    "  Invoke-Command -ComputerName srv1,srv2 -ScriptBlock {",
    "      C:\\Tools\\Sorvane.exe /check; $LASTEXITCODE }",
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII only: the names are ASCII, and the code-page-dependent routines would
// need user32.
bool SameName(const std::string& typed, const char* name) {
    if (typed.size() != std::strlen(name)) return false;
    for (size_t i = 0; i < typed.size(); ++i) {
        if (LowerAscii(typed[i]) != name[i]) return false;
    }
    return true;
}

// The switch `argument` names, with its value; null for an argument that is
// no switch.
const SwitchInfo* FindSwitch(const std::string& argument, bool* hasValue, std::string* value) {
    if (argument.empty() || (argument[0] != '/' && argument[0] != '-')) return nullptr;
    const size_t colon = argument.find(':');
    const std::string name = argument.substr(1, colon == std::string::npos ? colon : colon - 1);
    for (const SwitchInfo& info : kSwitches) {
        if (!SameName(name, info.name)) continue;
        *hasValue = colon != std::string::npos;
        *value = *hasValue ? argument.substr(colon + 1) : std::string();
        return &info;
    }
    return nullptr;
}

// An argument as a usage error quotes it, on one line and shortened, so a
// huge argument cannot flood a fleet tool's captured output.
std::string Quoted(const std::string& argument) { return Shortened(OnOneLine(argument)); }

// The first error found is the one reported.
void SetError(CommandLine* line, const std::string& error) {
    if (line->error.empty()) line->error = error;
}

// Checks one switch's value and stores it. `slash` is its canonical spelling.
void TakeSwitch(const SwitchInfo& info, bool hasValue, const std::string& value,
                CommandLine* line) {
    const std::string slash = std::string("/") + info.name;
    if (!info.takesValue && hasValue) {
        SetError(line, slash + " takes no value.");
        return;
    }
    switch (info.id) {
        case kCheck:
        case kRepair:
        case kHelp:
        case kSwitchCount:
            break;  // the mode is settled once every argument is seen
        case kWhatIf:
            line->whatIf = true;
            break;
        case kJson:
            line->json = true;
            break;
        case kSuffix:
            if (value.empty()) {
                SetError(line, "/suffix needs a value: /suffix:VALUE.");
                return;
            }
            line->hasSuffix = true;
            line->suffix = value;
            break;
        case kBackup:
        case kLog:
            if (value.empty()) {
                SetError(line, slash + " needs a file name: " + slash + ":FILE.");
                return;
            }
            (info.id == kBackup ? line->backupFile : line->logFile) = value;
            break;
        case kReg:
            if (value == "32") {
                line->view = KEY_WOW64_32KEY;
            } else if (value == "64") {
                line->view = KEY_WOW64_64KEY;
            } else {
                SetError(line, "/reg takes 32 or 64: /reg:32 or /reg:64.");
            }
            break;
    }
}

}  // namespace

CommandLine ParseCommandLine(int argumentCount, const char* const* arguments) {
    CommandLine line;
    bool seen[kSwitchCount] = {};
    bool showUsage = false;
    bool anyOther = false;
    std::string firstOther;
    for (int index = 1; index < argumentCount; ++index) {
        const std::string argument = arguments[index] != nullptr ? arguments[index] : "";
        bool hasValue = false;
        std::string value;
        const SwitchInfo* info = FindSwitch(argument, &hasValue, &value);
        if (info == nullptr) {
            if (!anyOther) firstOther = argument;
            anyOther = true;
            continue;
        }
        if (info->id == kHelp) {
            showUsage = true;
            continue;
        }
        if (seen[info->id]) {
            SetError(&line, std::string("/") + info->name + " is given twice.");
            continue;
        }
        seen[info->id] = true;
        TakeSwitch(*info, hasValue, value, &line);
        if (info->id == kSuffix) line.suffixArgument = index;
        if (info->id == kBackup) line.backupArgument = index;
        if (info->id == kLog) line.logArgument = index;
    }
    if (showUsage) {
        CommandLine usage;
        usage.mode = RunMode::Usage;
        return usage;
    }

    if (seen[kCheck] && seen[kRepair]) {
        SetError(&line, "/check and /repair cannot be used together.");
    } else if (anyOther && (seen[kCheck] || seen[kRepair])) {
        SetError(&line, "Unknown argument \"" + Quoted(firstOther) + "\".");
    }
    if (seen[kSuffix] && !seen[kRepair]) SetError(&line, "/suffix works only with /repair.");
    if (seen[kWhatIf] && !seen[kRepair]) SetError(&line, "/whatif works only with /repair.");
    if (seen[kJson] && !seen[kCheck] && !seen[kRepair]) {
        SetError(&line, "/json works only with /check or /repair.");
    }

    if (seen[kCheck]) {
        line.mode = RunMode::Check;
    } else if (seen[kRepair]) {
        line.mode = RunMode::Repair;
    } else {
        line.mode = RunMode::Interactive;
        line.verbose = anyOther;
    }
    return line;
}

void ShowUsage() {
    for (const char* text : kUsage) PrintLine(text);
}
