// Generated key paths for Open and Create under the default (single-byte)
// code page: root names right and wrong, letter case, lengths around 255 and
// 256 bytes, leading, doubled and trailing backslashes, bytes 0x80 to 0xFF.
// Each is checked against path_model.h; a failure names the seed that
// replays it and the path.
#include "generated_paths_fixture.h"

namespace {

class GeneratedPaths : public GeneratedPathsTest {
  protected:
    void Run(path_model::Operation operation) {
        int refused = 0;
        const std::string seedNote =
            CheckGeneratedPaths(operation, false, [&refused](const path_model::Verdict& verdict) {
                if (verdict.refused) ++refused;
            });
        // Both outcomes must be well represented, or the generator has drifted.
        EXPECT_GT(refused, kPaths / 5) << seedNote;
        EXPECT_LT(refused, kPaths * 4 / 5) << seedNote;
    }
};

TEST_F(GeneratedPaths, OpenRefusesOrAnswersAsTheRegistryDoes) { Run(path_model::Operation::kOpen); }

TEST_F(GeneratedPaths, CreateRefusesOrAnswersAsTheRegistryDoes) {
    Run(path_model::Operation::kCreate);
}

// The model on paths whose verdict is known by hand; the malformed paths the
// object refuses are judged with RegistryKeyCore's table of them.
TEST(PathModel, KnownVerdicts) {
    using path_model::Judge;
    EXPECT_FALSE(Judge("HKEY_LOCAL_MACHINE\\", false).refused);
    EXPECT_EQ("\\x\\", Judge("HKEY_USERS\\\\x\\", false).body);
    std::string at255 = "HKEY_CURRENT_USER\\" + std::string(255 - 18, 'k');
    EXPECT_FALSE(Judge(at255, false).refused);
    // 0x95 0x5C is one character under Shift-JIS, two bytes elsewhere.
    EXPECT_TRUE(Judge("HKEY_USERS\x95\\x", true).refused);
    EXPECT_TRUE(Judge("HKEY_USERS\x95\\x", false).refused);
    EXPECT_EQ("\x95\\x", Judge("HKEY_USERS\\\x95\\x", true).body);
    EXPECT_EQ("\x95\\x", Judge("HKEY_USERS\\\x95\\x", false).body);
    // The lead byte takes the first backslash; the second one ends a root name
    // that is not in the table.
    EXPECT_TRUE(Judge("HKEY_USERS\x95\\\\x", true).refused);
}

}  // namespace
