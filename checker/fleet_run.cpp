#include "run.h"

namespace {

// /check mends nothing; /repair mends Rule One and, given /suffix:, Rule Two.
bool RepairText(const RunContext& context, const RuleCheck& check, std::string* text,
                std::string*) {
    if (check.holds || context.mode != RunMode::kRepair) return false;
    *text = check.repairText.empty() ? context.suffix : check.repairText;
    return !text->empty();
}

}  // namespace

int RunFleet(const RunContext& context) {
    RunRecord run(context);
    return ShowOutcome(run, RunChecks({nullptr, RepairText, nullptr}, &run));
}
