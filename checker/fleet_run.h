// The unattended run for fleet tools: /check and /repair.
#pragma once

struct RunContext;

// The unattended run of /check or /repair: never reads standard input. Exits
// 0 when the settings are compliant (after the run), 2 when they are not, 1
// when the run failed.
int RunFleet(const RunContext& context);
