// The whole check-and-repair run, from mode choice to summary.
#pragma once

struct CommandLine;

// The interactive run. Its exit status is always 0: the outcome is what it
// printed and what the registry holds.
int RunCheck(const CommandLine& options);

// The unattended run of /check or /repair: never reads standard input. Exits
// 0 when the settings are compliant (after the run), 2 when they are not, 1
// when the run failed.
int RunUnattended(const CommandLine& options);
