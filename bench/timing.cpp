#include "timing.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    size_t n = samples.size();
    if (n == 0) return 0;
    return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

std::string Format(const char* format, double value) {
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Flushed line by line: bench.sh reads the output through a pipe, and a
// program that fails later should still leave the rows it measured.
void PrintRow(const std::string& what, const std::string& ours, const std::string& baseline,
              double ratio, const std::string& target) {
    std::printf("row|%s|%s|%s|%.2f|%s\n", what.c_str(), ours.c_str(), baseline.c_str(), ratio,
                target.c_str());
    std::fflush(stdout);
}

void PrintNote(const std::string& text) {
    std::printf("note|%s\n", text.c_str());
    std::fflush(stdout);
}

}  // namespace bench
