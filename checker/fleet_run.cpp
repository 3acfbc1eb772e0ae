#include "console.h"
#include "front_ends.h"
#include "json_report.h"
#include "run.h"
#include "shown_text.h"

namespace {

const char kWhatIfLogUnwritten[] = "WHATIF - /whatif writes nothing, not even to the log ";

// Every check has its line, values cut short; each write its own line.
class FleetScreen : public TextScreen {
  public:
    explicit FleetScreen(bool whatIf) : TextScreen(true, true), whatIf(whatIf) {}

    void Writing(const PlannedWrite& write, bool) override {
        const SettingPlace& place = kSettings[write.setting];
        PrintLine(std::string(whatIf ? "WHATIF - would write " : kWriting) + place.keyPath + " = " +
                  place.valueName + " = " + Shortened(OnOneLine(write.text)));
    }

  private:
    bool whatIf;
};

const char* Mode(const RunContext& context) {
    if (context.mode == RunMode::kCheck) return "\"check\"";
    if (context.mode == RunMode::kRepair) return context.whatIf ? "\"whatif\"" : "\"repair\"";
    return "null";  // a usage error that named no mode
}

}  // namespace

int RunFleet(const RunContext& context, const Utf8Text& notStarted) {
    // /check mends nothing; /repair mends Rule One and, given /suffix:, Rule Two.
    const bool repair = context.mode == RunMode::kRepair;
    FleetScreen text(context.whatIf);
    Screen document;
    FrontEnd frontEnd{context.json ? document : text,
                      {context.view, KEY_READ, context.processIsElevated}};
    frontEnd.policies = kKeepsRecords | kExits2WhenNotCompliant;
    if (repair) frontEnd.policies |= context.whatIf ? kMends : kMends | kWrites;
    frontEnd.suffix = context.suffix;
    if (repair && context.suffix.empty())
        frontEnd.unmendedSuffix = " (give /suffix:VALUE to repair it)";
    frontEnd.backupFile = context.backupFile;
    if (!context.whatIf) frontEnd.logFile = context.logFile;  // /whatif writes nothing

    RunRecord run;
    if (notStarted.empty()) {
        CheckAndRepair(frontEnd, &run);
    } else {
        run.failure = notStarted;
        Judge(frontEnd.policies, &run);
    }
    if (context.json) {
        PrintLine(JsonReport(run, Mode(context), context.view));
    } else {
        if (context.whatIf && !context.logFile.empty()) {
            PrintLine(ScreenText(kWhatIfLogUnwritten + ShownName(context.logFile)));
        }
        PrintLine(ScreenText(run.verdict.resultLine));
    }
    return run.verdict.exitCode;
}
