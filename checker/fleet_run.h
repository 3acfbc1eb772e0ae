// /check and /repair: never reads standard input, ends with one RESULT line.
// Exits 0 compliant (after the run), 2 not compliant, 1 failed.
#pragma once

struct RunContext;

int RunFleet(const RunContext& context);
