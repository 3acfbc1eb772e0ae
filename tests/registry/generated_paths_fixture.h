// A scratch key below every root, in path_model::kRoots order, for Create to
// fill with generated paths; all of them removed before and after each test.
#pragma once

#include <string>
#include <vector>

#include "path_model.h"
#include "scratch_key.h"

class GeneratedPathsTest : public ScratchKeyTest {
  protected:
    void SetUp() override {
        ScratchKeyTest::SetUp();
        ASSERT_TRUE(MakeKey("exists\\deeper"));
        const std::string name = sub.substr(sub.rfind('\\') + 1);
        bases = {"SorvaneTests." + name, sub, "Software\\SorvaneTests\\" + name,
                 ".DEFAULT\\Software\\SorvaneTests\\" + name, "Software\\SorvaneTests\\" + name};
        DeleteOtherBases();
    }

    void TearDown() override {
        DeleteOtherBases();
        ScratchKeyTest::TearDown();
    }

    // The HKEY_CURRENT_USER base is the scratch key itself, which ScratchKeyTest removes.
    void DeleteOtherBases() {
        for (size_t i = 0; i < bases.size(); ++i) {
            if (path_model::kRoots[i].key != HKEY_CURRENT_USER) {
                RegDeleteTreeA(path_model::kRoots[i].key, bases[i].c_str());
            }
        }
    }

    std::vector<std::string> bases;
};
