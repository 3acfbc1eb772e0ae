// The timing helpers every benchmark program shares: a clock, medians, and the
// table lines that tools/bench.sh collects ("row|what|ours|baseline|ratio|target",
// "note|text").
#pragma once

#include <string>
#include <vector>

namespace bench {

// Seconds since an arbitrary start, from the performance counter.
double Now();

double Median(std::vector<double> samples);

// `format` with one double, for labels and figures.
std::string Format(const char* format, double value);

// One line of the table. `ours` and `baseline` are already formatted with
// their unit; `target` may be empty.
void PrintRow(const std::string& what, const std::string& ours, const std::string& baseline,
              double ratio, const std::string& target);

// A free-text line printed under the table.
void PrintNote(const std::string& text);

}  // namespace bench
