#include "run.h"

namespace {

// /check mends nothing; /repair mends Rule One and, given /suffix:, Rule Two.
class FleetRun : public FrontEnd {
  public:
    explicit FleetRun(const RunContext& context) : context(context) {}

    bool RepairText(const RuleCheck& check, std::string* text, std::string*) override {
        if (context.mode != RunMode::kRepair) return false;
        *text = check.repairText.empty() ? context.suffix : check.repairText;
        return !text->empty();
    }

  private:
    const RunContext& context;
};

}  // namespace

int RunFleet(const RunContext& context) {
    FleetRun fleetRun(context);
    RunRecord run(context);
    return ShowOutcome(run, RunChecks(&fleetRun, &run));
}
