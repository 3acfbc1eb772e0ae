// Generated key paths for Open and Create under code page 932 (Shift-JIS):
// double-byte characters in root names and sub-key paths, many with the
// backslash code as their trail byte, which is never a separator. Checked
// against path_model.h; a failure names the seed (SORVANE_PATHS_SEED replays
// it) and the path.
#include "generated_paths_fixture.h"

namespace {

const int kPaths = 10000;

// Whether `text` holds a double-byte character whose trail byte is 0x5C.
bool HoldsBackslashTrail(const std::string& text) {
    for (size_t at = 0; at + 1 < text.size(); ++at) {
        if (path_model::IsShiftJisLead(static_cast<unsigned char>(text[at]))) {
            if (text[at + 1] == '\\') return true;
            ++at;
        }
    }
    return false;
}

class GeneratedPathsCp932 : public GeneratedPathsTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(932u, GetACP());
        GeneratedPathsTest::SetUp();
    }

    void Run(path_model::Operation operation) {
        const unsigned seed = path_model::SeedFromEnvironment();
        path_model::Generator generator(seed, true, bases);
        int failures = 0, wholeInBody = 0;
        for (int i = 0; i < kPaths && failures < 10; ++i) {
            std::string path = generator.Next();
            const path_model::Verdict verdict = path_model::Judge(path, true);
            if (!verdict.refused && HoldsBackslashTrail(verdict.body)) ++wholeInBody;
            std::string problem = path_model::Check(operation, path, true);
            if (!problem.empty()) {
                ++failures;
                ADD_FAILURE() << "seed " << seed << " (SORVANE_PATHS_SEED), path " << i << " "
                              << path_model::Shown(path) << ": " << problem;
            }
        }
        // Enough paths must hand the registry a character whose trail byte is
        // the backslash code, or the generator has drifted.
        EXPECT_GT(wholeInBody, kPaths / 20) << "seed " << seed;
    }
};

TEST_F(GeneratedPathsCp932, OpenRefusesOrAnswersAsTheRegistryDoes) {
    Run(path_model::Operation::kOpen);
}

TEST_F(GeneratedPathsCp932, CreateRefusesOrAnswersAsTheRegistryDoes) {
    Run(path_model::Operation::kCreate);
}

}  // namespace
