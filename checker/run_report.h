// The /json document: what a run read, found, wrote and concluded, as one
// JSON object a fleet tool can parse instead of reading lines.
#pragma once

#include <string>

struct RunRecord;

// The document for `run`, ending with `exitCode` (the process's own), in
// plain ASCII.
std::string JsonReport(const RunRecord& run, int exitCode);
