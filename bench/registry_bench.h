// Shared pieces of the in-process benchmarks: a clock, medians, and the table
// rows that tools/bench.sh collects ("row|what|ours|baseline|ratio|target").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// Seconds since an arbitrary start, from the performance counter.
double Now();

double Median(std::vector<double> samples);

// One line of the table. `ours` and `baseline` are already formatted with
// their unit; `target` may be empty.
void PrintRow(const std::string& what, const std::string& ours, const std::string& baseline,
              double ratio, const std::string& target);

// A free-text line printed under the table.
void PrintNote(const std::string& text);

std::string Format(const char* format, double value);

// Full walks of a key with `count` values and `count` sub-keys, RegistryKey
// against the plain enumeration loops. Returns false when a walk went wrong.
bool RunWalks(int count);

}  // namespace bench
