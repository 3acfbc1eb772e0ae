// One run of the rules for every mode: read, check, plan the writes, back up,
// log, write, read back, and end with the outcome, all in one RunRecord. The
// front ends (the dialogue, the unattended modes) supply only their own part.
#pragma once

#include <string>

#include "rules.h"
#include "run_context.h"
#include "run_record.h"

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // Before anything is read. False ends the run; `run->failure` says why.
    virtual bool Start(RunRecord* run) = 0;
    // The text that mends `check`, and the line that announces its writes once
    // the backup is made (none: each write has a line). False: left as it is.
    virtual bool RepairText(const RuleCheck& check, std::string* text,
                            std::string* announcement) = 0;
    // After the checks and their writes, when the run has not failed.
    virtual void Finish(const RunRecord& run) = 0;
};

int RunChecks(const RunContext& context, FrontEnd* frontEnd);

// /check and /repair: never reads standard input, ends with one RESULT line.
// Exits 0 compliant (after the run), 2 not compliant, 1 failed.
int RunFleet(const RunContext& context);

// Ends a run that reads and writes nothing because of `reason` (UTF-8); the
// interactive run first prints `interactiveLine` (ANSI), if any.
int RefuseRun(const RunContext& context, const std::string& interactiveLine,
              const std::string& reason);
