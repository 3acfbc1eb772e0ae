#include "check_run.h"

#include <cstring>
#include <string>

#include "audit_log.h"
#include "command_line.h"
#include "console.h"
#include "ldap_settings.h"
#include "rules.h"
#include "texts.h"
#include "value_rules.h"

namespace {

// The screen's lines; a catalogue text, where one is given, follows its line.
void ShowInformationScreen() {
    const struct {
        const char* text;
        const char* catalogueText;
    } kScreen[] = {
        {"---------------------USAGE NOTES- START -------------------------------------", nullptr},
        {"DOS> Sorvane - terse mode", nullptr},
        {"DOS> Sorvane 1 - verbose mode", nullptr},
        {"---------------------USAGE NOTES - END --------------------------------------", nullptr},
        {"", nullptr},
        {"---------------------WHAT THE PROGRAM DOES -START----------------------------", nullptr},
        {"This program checks/alters the following LDAP server registry values", nullptr},
        {"", nullptr},
        {"** KEYS/VALUES CHECKED *********************", nullptr},
        {"LDAP Server Key = ", ServerKeyPath},
        {"1) --", ServerValueNames[0]},
        {"2) --", ServerValueNames[1]},
        {"3) --", ServerValueNames[2]},
        {"", nullptr},
        {"LDAP Client Key = ", ClientKeyPath},
        {"4) --", ClientValueName},
        {"", nullptr},
        {"** RULES ENFORCED FOR THE CHECK ************", nullptr},
        {"Rule One - 1) and 2) must equal \"Yes\"", nullptr},
        {"Rule Two - 3) must have the same value as 4)", nullptr},
        {"", nullptr},
        {"** ACTIONS TAKEN IF RULES DO NOT PASS ******", nullptr},
        {"If Rule One fails - this program will write \"Yes\"", nullptr},
        {"                  - into the reg key/value", nullptr},
        {"If Rule Two fails - this program will prompt for user input", nullptr},
        {"                  - then write user input into reg key/value", nullptr},
        {"----------------------WHAT THE PROGRAM DOES -END----------------------------", nullptr},
        {"", nullptr},
        {"", nullptr},
    };
    for (const auto& line : kScreen) {
        PrintLine(std::string(line.text) + (line.catalogueText ? line.catalogueText : ""));
    }
}

// Asks until the operator answers yes or no. False at end of input.
bool AskForInformation(char* infoAnswer) {
    for (;;) {
        PrintLine(kInformationQuestion);
        if (!ReadAnswer(infoAnswer)) return false;
        if (*infoAnswer == 'Y' || *infoAnswer == 'y') {
            ShowInformationScreen();
            return true;
        }
        if (*infoAnswer == 'N' || *infoAnswer == 'n') return true;
    }
}

// Rule One for one server value: anything but "Yes" is overwritten with "Yes".
// False when the write failed and the run must end.
bool ApplyRuleOne(RunRecord* run, int index) {
    const SettingValue& value = run->serverValues[index];
    if (RuleOneHolds(value)) {
        ReportRuleOneHeld(index, value);
        return true;
    }
    ReportRuleOneBroken(index, value);
    PrintLine(kWritingCorrectValue);
    return WriteSetting(run, ServerKeyPath, ServerValueNames[index], kExpectedValue, value);
}

// The Rule Two dialogue. True when the operator confirmed `enteredValue`;
// false when the operator quit, or input ended, which counts as quitting.
bool AskForSuffix(std::string* enteredValue) {
    for (;;) {
        PrintLine("");
        PrintLine(kValuePrompt);
        PrintPrompt(kValueCue);
        if (!ReadWord(enteredValue)) {
            PrintLine("");  // end the prompt's line before the summary
            return false;
        }
        // Anything else on the value's line would be read as answers to the
        // question below, and a 'y' among them would confirm the value.
        const Refusal* refusal =
            RestOfLineIsBlank() ? ValueRefusal(*enteredValue) : &kValueNotOneWord;
        if (refusal != nullptr) {
            PrintLine(RefusalLine(*refusal));
            continue;
        }
        PrintLine(kYouEntered + *enteredValue);
        bool askAgain = true;
        while (askAgain) {
            PrintLine(kConfirmQuestion);
            char answer;
            if (!ReadAnswer(&answer)) return false;
            switch (answer) {
                case 'Y':
                case 'y':
                    return true;
                case 'Q':
                case 'q':
                    return false;
                case 'H':
                case 'h':
                    for (const char* line : kHelpBlock) PrintLine(line);
                    askAgain = false;
                    break;
                case 'N':
                case 'n':
                    askAgain = false;
                    break;
                default:
                    break;
            }
        }
    }
}

// Rule Two: the server's LdapSuffix must equal the client's DNSuffix. False
// when a write failed and the run must end.
bool ApplyRuleTwo(RunRecord* run) {
    const SettingValue& serverSuffix = run->serverValues[2];
    const SettingValue& clientSuffix = run->clientValue;
    if (SuffixesMatch(serverSuffix, clientSuffix)) {
        ReportRuleTwoHeld(serverSuffix);
        return true;
    }
    ReportRuleTwoBroken(serverSuffix, clientSuffix);

    std::string enteredValue;
    if (!AskForSuffix(&enteredValue)) {
        run->problems.push_back(kRuleTwoProblem);
        return true;
    }
    PrintLine(kWriting + enteredValue + kToRegistry);
    return WriteSetting(run, ServerKeyPath, ServerValueNames[2], enteredValue, serverSuffix) &&
           WriteSetting(run, ClientKeyPath, ClientValueName, enteredValue, clientSuffix);
}

void PrintFinished() {
    PrintLine("");
    PrintLine(kFinished);
    PrintLine("");
}

}  // namespace

int RunCheck(const CommandLine& options) {
    VerboseMode = options.verbose;
    RunRecord run(options);
    char infoAnswer = 'A';

    // End of input here ends the run before anything is read or written, and
    // says so: a run that checked nothing must not look like a clean one.
    if (!AskForInformation(&infoAnswer)) {
        PrintLine("");
        PrintLine(kErrorPrefix + std::string(kNoInput));
        PrintLine("");
        run.failure = kNoInput;
        LogLine(run, Utf8FromAnsi(ResultLine(run, true)));
        return 0;
    }
    if (ReadLdapSettings(run.serverValues, ClientValueName, &run.clientValue) == 0) {
        bool finished = ApplyRuleOne(&run, 0) && ApplyRuleOne(&run, 1) && ApplyRuleTwo(&run);
        if (finished) {
            if (run.changeCount > 0) {
                PrintLine("");
                PrintLine(kChangesMade + std::to_string(run.changeCount) + kChangesToValues);
            }
            PrintFinished();
        }
    } else {
        run.failure = kReadFailed;
    }
    LogLine(run, Utf8FromAnsi(ResultLine(run, true)));
    return 0;
}
