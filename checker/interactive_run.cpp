#include "interactive_run.h"

#include <string>

#include "console.h"
#include "run.h"
#include "settings_store.h"
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
        {"1) --", kSettings[kLoginAuth].valueName},
        {"2) --", kSettings[kCrAuth].valueName},
        {"3) --", kSettings[kLdapSuffix].valueName},
        {"", nullptr},
        {"LDAP Client Key = ", ClientKeyPath},
        {"4) --", kSettings[kDnSuffix].valueName},
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

// The technician's side of the run: the information question before it,
// the value and confirmation of Rule Two, and the summary after it.
class Dialogue : public FrontEnd {
  public:
    // End of input at the information question ends the run before anything
    // is read or written, and says so: a run that checked nothing must not
    // look like a clean one.
    bool Start(RunRecord* run) override {
        char infoAnswer = 'A';
        if (AskForInformation(&infoAnswer)) return true;
        PrintLine("");
        PrintLine(kErrorPrefix + std::string(kNoInput));
        PrintLine("");
        run->failure = kNoInput;
        return false;
    }

    // Rule One with "Yes", Rule Two with the value the operator confirms.
    bool RepairText(const RuleCheck& check, std::string* text, std::string* announcement) override {
        if (!check.repairText.empty()) {
            *announcement = kWritingCorrectValue;
            *text = check.repairText;
            return true;
        }
        if (!AskForSuffix(text)) return false;
        *announcement = kWriting + *text + kToRegistry;
        return true;
    }

    void Finish(const RunRecord& run) override {
        if (run.changeCount > 0) {
            PrintLine("");
            PrintLine(kChangesMade + std::to_string(run.changeCount) + kChangesToValues);
        }
        PrintLine("");
        PrintLine(kFinished);
        PrintLine("");
    }
};

}  // namespace

int RunInteractive(const RunContext& context) {
    Dialogue dialogue;
    return RunChecks(context, &dialogue);
}
