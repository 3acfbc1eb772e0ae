#include "test_seed.h"

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// Any fixed value will do; this one has no meaning.
const unsigned kCiSeed = 20240229;

bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

}  // namespace

unsigned TestSeed(const std::string& overrideVariable) {
    const char* text = std::getenv(overrideVariable.c_str());
    unsigned seed;
    const char* origin;
    if (text != nullptr && *text != '\0') {
        seed = static_cast<unsigned>(std::strtoul(text, nullptr, 10));
        origin = "from the environment";
    } else if (UnderCi()) {
        seed = kCiSeed;
        origin = "fixed under CI";
    } else {
        seed = std::random_device()();
        origin = "fresh";
    }
    std::printf("[ seed     ] %s, %s\n", SeedNote(seed, overrideVariable).c_str(), origin);
    std::fflush(stdout);
    return seed;
}

std::string SeedNote(unsigned seed, const std::string& overrideVariable) {
    const std::string number = std::to_string(seed);
    return "seed " + number + " (" + overrideVariable + "=" + number + " replays it)";
}
