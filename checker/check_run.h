// The interactive check-and-repair run, from the information question to the
// summary.
#pragma once

struct RunContext;

// The interactive run. Its exit status is always 0: the outcome is what it
// printed and what the registry holds.
int RunCheck(const RunContext& context);
