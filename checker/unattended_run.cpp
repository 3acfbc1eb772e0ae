// The unattended run for fleet tools: /check and /repair. It never reads
// standard input, shows no notice, and ends with one RESULT line whose exit
// code a fleet tool can act on.
#include "audit_log.h"
#include "check_run.h"
#include "command_line.h"
#include "console.h"
#include "ldap_settings.h"
#include "rules.h"
#include "texts.h"

namespace {

const int kExitCompliant = 0;
const int kExitFailed = 1;
const int kExitNotCompliant = 2;

// A repair without /suffix: leaves the suffixes as they are, and says how to
// mend them.
std::string RuleTwoProblem(const CommandLine& options) {
    const bool repairing = options.mode == RunMode::Repair && !options.hasSuffix;
    return std::string(kRuleTwoProblem) + (repairing ? kNoSuffixGiven : "");
}

struct PlannedWrite {
    const char* keyPath;
    const char* valueName;
    std::string text;
    const SettingValue* oldValue;
};

// Checks the settings as read, prints each check's lines, and returns the
// writes a repair would make.
std::vector<PlannedWrite> CheckSettings(RunRecord* run, const CommandLine& options) {
    std::vector<PlannedWrite> writes;
    for (int index = 0; index < 2; ++index) {
        const SettingValue& value = run->serverValues[index];
        if (RuleOneHolds(value)) {
            ReportRuleOneHeld(index, value);
            continue;
        }
        ReportRuleOneBroken(index, value);
        run->problems.push_back(RuleOneProblem(index));
        writes.push_back({ServerKeyPath, ServerValueNames[index], kExpectedValue, &value});
    }
    const SettingValue& serverSuffix = run->serverValues[2];
    const SettingValue& clientSuffix = run->clientValue;
    if (SuffixesMatch(serverSuffix, clientSuffix)) {
        ReportRuleTwoHeld(serverSuffix);
    } else {
        ReportRuleTwoBroken(serverSuffix, clientSuffix);
        run->problems.push_back(RuleTwoProblem(options));
        if (options.hasSuffix) {
            writes.push_back({ServerKeyPath, ServerValueNames[2], options.suffix, &serverSuffix});
            writes.push_back({ClientKeyPath, ClientValueName, options.suffix, &clientSuffix});
        }
    }
    return writes;
}

// The settings after the writes, read again: the result states what the
// registry holds, not what the run meant to do.
void CheckAgain(RunRecord* run, const CommandLine& options) {
    run->problems.clear();
    if (ReadLdapSettings(run->serverValues, ClientValueName, &run->clientValue) != 0) {
        run->failure = kReadBackFailed;
        return;
    }
    for (int index = 0; index < 2; ++index) {
        if (!RuleOneHolds(run->serverValues[index])) run->problems.push_back(RuleOneProblem(index));
    }
    if (!SuffixesMatch(run->serverValues[2], run->clientValue)) {
        run->problems.push_back(RuleTwoProblem(options));
    }
}

int Finish(const RunRecord& run, bool countChanges) {
    const std::string result = ResultLine(run, countChanges);
    PrintLine(result);
    LogLine(run, Utf8FromAnsi(result));
    if (!run.failure.empty()) return kExitFailed;
    return run.problems.empty() ? kExitCompliant : kExitNotCompliant;
}

}  // namespace

int RunUnattended(const CommandLine& options) {
    UnattendedMode = true;
    VerboseMode = false;
    const bool repair = options.mode == RunMode::Repair && !options.whatIf;
    // Reads ask for reading only, so a check needs no more rights than that,
    // and no elevation where the keys' access lists allow reading.
    ReadAccess = KEY_READ;

    RunRecord run(options);
    if (ReadLdapSettings(run.serverValues, ClientValueName, &run.clientValue) != 0) {
        run.failure = kReadFailed;
        return Finish(run, repair);
    }
    std::vector<PlannedWrite> writes = CheckSettings(&run, options);
    if (!repair) {
        if (options.whatIf) {
            for (const PlannedWrite& write : writes) {
                PrintLine(std::string(kWhatIf) + write.keyPath + " = " + write.valueName + " = " +
                          write.text);
            }
        }
        return Finish(run, false);
    }
    if (writes.empty()) return Finish(run, true);
    for (const PlannedWrite& write : writes) {
        PrintLine(std::string(kWriting) + write.keyPath + " = " + write.valueName + " = " +
                  write.text);
        if (!WriteSetting(&run, write.keyPath, write.valueName, write.text, *write.oldValue)) {
            return Finish(run, true);
        }
    }
    CheckAgain(&run, options);
    return Finish(run, true);
}
