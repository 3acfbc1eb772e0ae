// The interactive check-and-repair run, from the information question to the
// summary.
#pragma once

struct RunContext;

// Exits 1 when the run failed (no input at all, a value it could not read or
// write, a backup or log it could not write), 0 otherwise.
int RunInteractive(const RunContext& context);
