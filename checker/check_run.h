// The whole check-and-repair run, from mode choice to summary.
#pragma once

// `argumentCount` counts the program name: more than one selects verbose mode.
int RunCheck(int argumentCount);
