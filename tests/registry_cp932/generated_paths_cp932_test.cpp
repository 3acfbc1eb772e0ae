// Generated key paths for Open and Create under code page 932 (Shift-JIS):
// double-byte characters in root names and sub-key paths, many with the
// backslash code as their trail byte, which is never a separator. Checked
// against path_model.h; a failure names the seed that replays it and the path.
#include "code_page_932.h"
#include "generated_paths_fixture.h"

namespace {

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

class GeneratedPathsCp932 : public UnderCodePage932<GeneratedPathsTest> {
  protected:
    void Run(path_model::Operation operation) {
        int wholeInBody = 0;
        const std::string seedNote = CheckGeneratedPaths(
            operation, true, [&wholeInBody](const path_model::Verdict& verdict) {
                if (!verdict.refused && HoldsBackslashTrail(verdict.body)) ++wholeInBody;
            });
        // Enough paths must hand the registry a character whose trail byte is
        // the backslash code, or the generator has drifted.
        EXPECT_GT(wholeInBody, kPaths / 20) << seedNote;
    }
};

TEST_F(GeneratedPathsCp932, OpenRefusesOrAnswersAsTheRegistryDoes) {
    Run(path_model::Operation::kOpen);
}

TEST_F(GeneratedPathsCp932, CreateRefusesOrAnswersAsTheRegistryDoes) {
    Run(path_model::Operation::kCreate);
}

}  // namespace
