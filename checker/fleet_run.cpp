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

Json Mode(const RunContext& context) {
    if (context.mode == RunMode::kCheck) return "check";
    if (context.mode == RunMode::kRepair) return context.whatIf ? "whatif" : "repair";
    return nullptr;  // a usage error that named no mode
}

}  // namespace

// /check mends nothing; /repair mends Rule One and, given /suffix:, Rule Two.
unsigned FleetPolicies(const RunContext& context) {
    unsigned policies = kKeepsRecords | kExits2WhenNotCompliant;
    if (context.mode == RunMode::kRepair) policies |= context.whatIf ? kMends : kMends | kWrites;
    return policies;
}

int RunFleet(const RunContext& context, const Failure& notStarted) {
    FleetScreen text(context.whatIf);
    Screen document;
    RunRequest request{context.json ? document : text,
                       {context.view, KEY_READ, context.processIsElevated}};
    request.policies = FleetPolicies(context);
    request.suffix = context.suffix;
    if (context.mode == RunMode::kRepair && context.suffix.empty())
        request.unmendedSuffix = " (give /suffix:VALUE to repair it)";
    request.backupFile = context.backupFile;
    if (!context.whatIf) request.logFile = context.logFile;  // /whatif writes nothing

    RunRecord run;
    if (notStarted.id == ReasonId::kNone) {
        CheckAndRepair(request, &run);
    } else {
        run.failure = notStarted;
        Judge(request.policies, &run);
    }
    if (context.json) {
        PrintLine(JsonReport(run, Mode(context), context.view));
    } else {
        if (context.whatIf && !context.logFile.empty()) {
            PrintLine(ScreenText(kWhatIfLogUnwritten + ScreenName(context.logFile)));
        }
        PrintLine(ScreenText(run.verdict.resultLine));
    }
    return run.verdict.exitCode;
}
