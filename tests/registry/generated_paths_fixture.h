// A scratch key below every root, in path_model::kRoots order, for Create to
// fill with generated paths; all of them removed before and after each test.
// The paths come from a seeded generator (test_seed.h: fixed under CI, fresh
// and printed elsewhere, SORVANE_PATHS_SEED replays one).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "path_model.h"
#include "scratch_key.h"
#include "test_seed.h"

class GeneratedPathsTest : public ScratchKeyTest {
  protected:
    static constexpr int kPaths = 10000;

    void SetUp() override {
        ScratchKeyTest::SetUp();
        ASSERT_TRUE(CreateKeyRaw("exists\\deeper"));
        const std::string name = scratchSubPath.substr(scratchSubPath.rfind('\\') + 1);
        basePaths = {"SorvaneTests." + name, scratchSubPath, "Software\\SorvaneTests\\" + name,
                     ".DEFAULT\\Software\\SorvaneTests\\" + name,
                     "Software\\SorvaneTests\\" + name};
        DeleteOtherBases();
        for (const path_model::Root& root : path_model::kRoots) {
            keysBelowRoots.push_back(KeysBelow(root.key));
        }
    }

    // Nothing the paths made may stay beside the bases, directly below a root.
    void TearDown() override {
        for (size_t i = 0; i < keysBelowRoots.size(); ++i) {
            for (const std::string& name : KeysBelow(path_model::kRoots[i].key)) {
                EXPECT_EQ(1u, keysBelowRoots[i].count(name))
                    << "a key was left below " << path_model::kRoots[i].name << ": "
                    << path_model::Shown(name);
            }
        }
        DeleteOtherBases();
        ScratchKeyTest::TearDown();
    }

    // The keys directly below `root`, but the bases of every generated-path
    // test (another program may be running its own).
    static std::set<std::string> KeysBelow(HKEY root) {
        std::set<std::string> names;
        char name[256];
        DWORD size = sizeof name;
        for (DWORD i = 0; RegEnumKeyExA(root, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_SUCCESS;
             ++i, size = sizeof name) {
            if (std::string(name).compare(0, 13, "SorvaneTests.") != 0) names.insert(name);
        }
        return names;
    }

    // The HKEY_CURRENT_USER base is the scratch key itself, which ScratchKeyTest removes.
    void DeleteOtherBases() {
        for (size_t i = 0; i < basePaths.size(); ++i) {
            if (path_model::kRoots[i].key != HKEY_CURRENT_USER) {
                RegDeleteTreeA(path_model::kRoots[i].key, basePaths[i].c_str());
            }
        }
    }

    // Checks kPaths generated paths against the model, naming the seed and the
    // path of each failure (ten at most); `tally` sees every path with its
    // verdict. Returns the seed's note, for the caller's own checks.
    template <typename Tally>
    std::string CheckGeneratedPaths(path_model::Operation operation, bool shiftJis, Tally tally) {
        const unsigned seed = TestSeed(kSeedVariable);
        const std::string seedNote = SeedNote(seed, kSeedVariable);
        path_model::Generator generator(seed, shiftJis, basePaths);
        int failures = 0;
        for (int i = 0; i < kPaths && failures < 10; ++i) {
            const std::string path = generator.Next();
            tally(path_model::Judge(path, shiftJis));
            const std::string problem = path_model::Check(operation, path, shiftJis);
            if (!problem.empty()) {
                ++failures;
                ADD_FAILURE() << seedNote << ", path " << i << " " << path_model::Shown(path)
                              << ": " << problem;
            }
        }
        return seedNote;
    }

    // For each root in kRoots, the path below it under which generated keys may be created.
    std::vector<std::string> basePaths;
    // For each root in kRoots, the keys below it before the test.
    std::vector<std::set<std::string>> keysBelowRoots;

  private:
    static constexpr const char* kSeedVariable = "SORVANE_PATHS_SEED";
};
