#include <algorithm>

#include "console.h"
#include "front_ends.h"
#include "run.h"
#include "shown_text.h"

namespace {

const char kNoInput[] = "no input, nothing was checked";

void ShowInformationScreen() {
    const std::string kScreen[] = {
        "---------------------USAGE NOTES- START -------------------------------------",
        "DOS> Sorvane - terse mode",
        "DOS> Sorvane 1 - verbose mode",
        "---------------------USAGE NOTES - END --------------------------------------",
        "",
        "---------------------WHAT THE PROGRAM DOES -START----------------------------",
        "This program checks/alters the following LDAP server registry values",
        "",
        "** KEYS/VALUES CHECKED *********************",
        std::string("LDAP Server Key = ") + ServerKeyPath,
        std::string("1) --") + kSettings[kLoginAuth].valueName,
        std::string("2) --") + kSettings[kCrAuth].valueName,
        std::string("3) --") + kSettings[kLdapSuffix].valueName,
        "",
        std::string("LDAP Client Key = ") + ClientKeyPath,
        std::string("4) --") + kSettings[kDnSuffix].valueName,
        "",
        "** RULES ENFORCED FOR THE CHECK ************",
        "Rule One - 1) and 2) must equal \"Yes\"",
        "Rule Two - 3) must have the same value as 4)",
        "",
        "** ACTIONS TAKEN IF RULES DO NOT PASS ******",
        "If Rule One fails - this program will write \"Yes\"",
        "                  - into the reg key/value",
        "If Rule Two fails - this program will prompt for user input",
        "                  - then write user input into reg key/value",
        "----------------------WHAT THE PROGRAM DOES -END----------------------------",
        "",
        "",
    };
    for (const std::string& line : kScreen) PrintLine(line);
}

bool AskForInformation() {
    for (;;) {
        PrintLine("Do you want some information about this program? Press (Y)es/(N)o");
        char answer;
        if (!ReadAnswer(&answer)) return false;
        if (answer == 'Y' || answer == 'y') ShowInformationScreen();
        if (answer == 'Y' || answer == 'y' || answer == 'N' || answer == 'n') return true;
    }
}

void ShowHelp() {
    const char* const kHelp[] = {
        "--------------------------------------------------------------",
        "HELP START",
        "This string value will be written into two locations (..LdapSuffix and .. DNSuffix)",
        "These registry key are of type (string) REG_SZ",
        "As an example - when these keys are viewed with regedit, you will see",
        "something that looks like dc=example,dc=com",
        "HELP END",
        "-------------------------------------------------------------",
    };
    for (const char* line : kHelp) PrintLine(line);
}

// True when the operator confirmed `enteredValue`; end of input counts as quitting.
bool AskForSuffix(std::string* enteredValue) {
    for (;;) {
        PrintLine("");
        PrintLine("Please enter the value you want written to these keys");
        PrintPrompt(">>");
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
        PrintLine("You entered " + OnOneLine(*enteredValue));
        for (;;) {
            PrintLine(
                "Do you want to write this value into the two reg keys above? Press key "
                "((Y)es/(N)o/(Q)uit/(H)elp)");
            char answer;
            if (!ReadAnswer(&answer)) return false;
            if (answer == 'Y' || answer == 'y') return true;
            if (answer == 'Q' || answer == 'q') return false;
            if (answer == 'H' || answer == 'h') ShowHelp();
            if (answer == 'H' || answer == 'h' || answer == 'N' || answer == 'n') break;
        }
    }
}

class DialogueScreen : public TextScreen {
  public:
    explicit DialogueScreen(bool verbose) : TextScreen(verbose, false) {}

    void Hint(const AnsiText& line) override { PrintLine(line); }
    void Writing(const PlannedWrite& write, bool firstOfCheck) override {
        if (!firstOfCheck) return;
        PrintLine(write.rule == Rule::kOne ? std::string("WRITING CORRECT VALUE into registry")
                                           : kWriting + OnOneLine(write.text) + " to registry");
    }
    // A value that could not be read or written has the notice, which waits;
    // the line above it names what this run had written already, if anything.
    void Failed(const RunRecord& run) override {
        const ReasonId id = run.failure.id;
        const bool registry = id == ReasonId::kKeysUnreadable || id == ReasonId::kNotWritable;
        const bool written = std::any_of(run.writes.begin(), run.writes.end(),
                                         [](const WriteRecord& write) { return write.done; });
        if (!registry || written) PrintLine(ScreenText(kErrorPrefix + run.failure.reason));
        if (registry) ShowFatalNotice(id == ReasonId::kKeysUnreadable);
    }
    void Finished(const RunRecord& run) override {
        if (run.changeCount > 0) {
            PrintLine("");
            PrintLine("Program needed to make " + std::to_string(run.changeCount) +
                      " changes to registry values");
        }
        PrintLine("");
        PrintLine("Program has finished");
        PrintLine("");
    }
    // End of input at the information question ends the run before anything
    // is read: a run that checked nothing must not look like a clean one.
    bool Starts(Failure* whyNot) override {
        if (AskForInformation()) return true;
        PrintLine("");
        PrintLine(kErrorPrefix + std::string(kNoInput));
        PrintLine("");
        *whyNot = {ReasonId::kNoInput, kNoInput};
        return false;
    }
    bool AskForSuffix(AnsiText* suffix) override { return ::AskForSuffix(suffix); }
};

}  // namespace

// Such a run reads the values again after each answer that comes before a
// write, and after the writes.
unsigned DialoguePolicies(const RunContext& context) {
    const bool records = !context.backupFile.empty() || !context.logFile.empty();
    const unsigned always = kMends | kWrites | kWritesPerCheck | kRewritesHeldValues;
    return always | (records ? unsigned{kKeepsRecords} : 0u);
}

int RunInteractive(const RunContext& context) {
    DialogueScreen screen(context.verbose);
    RunRequest request{screen, {context.view, KEY_ALL_ACCESS, context.processIsElevated}};
    request.policies = DialoguePolicies(context);
    request.backupFile = context.backupFile;
    request.logFile = context.logFile;
    VerboseMode = context.verbose;
    RunRecord run;
    CheckAndRepair(request, &run);
    VerboseMode = false;  // the store's progress lines are the dialogue's alone
    return run.verdict.exitCode;
}

void ShowFatalNotice(bool reading) {
    PrintLine("");
    PrintLine(reading ? "This program cannot read one or more of the four LDAP registry "
                        "key/values it requires"
                      : "This program cannot write to one of the four LDAP registry key/values "
                        "it requires");
    PrintLine("Record information (i.e. screen capture) and contact your next level of support");
    PrintLine("Press Q to Quit");
    WaitForEntry();
}
