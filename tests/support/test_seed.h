// The seed of a test that draws random inputs. Under CI (CI=true) it is fixed,
// so a run there is repeatable; elsewhere it is fresh each run and printed, so
// a failure seen once can be replayed. The environment variable the caller
// names overrides both.
#pragma once

#include <string>

// The seed for this run, printed with the variable that replays it.
unsigned TestSeed(const std::string& overrideVariable);

// "seed N (VARIABLE=N replays it)", for failure messages.
std::string SeedNote(unsigned seed, const std::string& overrideVariable);
