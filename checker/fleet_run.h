// The unattended run of /check and /repair: never reads standard input, shows
// no notice, and ends with one RESULT line. Exits 0 when the settings are
// compliant (after the run), 2 when they are not, 1 when the run failed.
#pragma once

struct RunContext;

int RunFleet(const RunContext& context);
