#include "fleet_run.h"

#include "run.h"

namespace {

// /check mends nothing; /repair mends Rule One and, given /suffix:, Rule Two.
class FleetRun : public FrontEnd {
  public:
    explicit FleetRun(const RunContext& context) : context(context) {}

    bool Start(RunRecord*) override { return true; }

    bool RepairText(const RuleCheck& check, std::string* text, std::string*) override {
        if (context.mode != RunMode::kRepair) return false;
        *text = check.repairText.empty() ? context.suffix : check.repairText;
        return !text->empty();
    }

    void Finish(const RunRecord&) override {}

  private:
    const RunContext& context;
};

}  // namespace

int RunFleet(const RunContext& context) {
    FleetRun fleetRun(context);
    return RunChecks(context, &fleetRun);
}
