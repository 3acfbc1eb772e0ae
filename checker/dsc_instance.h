// What a DSC 3 engine reads from a run: the instance (the view, the suffix both
// values hold, the four values as stored, the problems) made from the run's
// record, and the list of properties beside it. Plain ASCII JSON, one line each.
#pragma once

#include <string>
#include <vector>

#include "dsc_desired_state.h"
#include "run_context.h"
#include "run_record.h"

struct DscOutput {
    std::vector<std::string> lines;  // standard output, each a JSON line
    std::vector<Utf8Text> problems;  // what is still wrong in the state printed
};

// get: the state. test: the state with _inDesiredState, then the properties not
// in the desired state. set: the state after the writes (with /whatif, as the
// planned writes would leave it), then the properties they change.
DscOutput MakeDscOutput(const RunRecord& run, const DesiredState& desired, DscOperation operation);

// A line of the engine's log on standard error: {"error": "..."}, "warn", "info".
std::string DscLogLine(const char* level, const Utf8Text& text);
