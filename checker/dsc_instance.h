// What a DSC 3 engine reads from a run: the instance (the view, the suffix both
// values hold, the four values as stored, the problems) made from the run's
// record and its verdict, and the list of properties beside it. Plain ASCII
// JSON, one line each.
#pragma once

#include <string>
#include <vector>

#include "dsc_desired_state.h"
#include "run_context.h"
#include "run_record.h"

// get: the state. test: the state with _inDesiredState, then the properties not
// in the desired state. set: the state after the writes (with /whatif, `run` is
// the record as the planned writes would leave it), then the properties they change.
std::vector<std::string> DscInstanceLines(const RunRecord& run, const DesiredState& desired,
                                          DscOperation operation);

// A line of the engine's log on standard error: {"error": "..."}, "warn", "info".
std::string DscLogLine(const char* level, const Utf8Text& text);
// A failed run's: {"error": "...", "reasonId": "..."}.
std::string DscErrorLine(const Failure& failure);
