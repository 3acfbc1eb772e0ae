// A folder of files unique to one test, below the temporary folder, emptied
// and removed before and after it; and the small file probes the file tests
// check with, independent of the code under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

// "<temp>\SorvaneTests.<suite>.<test>" for the running test, created empty
// (without a trailing backslash); empty when it could not be created.
std::string CreateScratchFolder();
// Removes the folder with the files and folders in it.
void RemoveScratchFolder(const std::string& folder);

// Every test that touches real files works inside `folder`, made after
// `Base`'s set-up and removed before its tear-down.
template <typename Base = ::testing::Test>
class WithScratchFolder : public Base {
  protected:
    void SetUp() override {
        Base::SetUp();
        if (this->HasFatalFailure()) return;
        folder = CreateScratchFolder();
        ASSERT_FALSE(folder.empty()) << "scratch folder: error " << GetLastError();
    }
    void TearDown() override {
        if (!folder.empty()) RemoveScratchFolder(folder);
        Base::TearDown();
    }

    std::string folder;
    // `name` inside the folder.
    std::string InFolder(const std::string& name) const { return folder + "\\" + name; }
};

using ScratchFolderTest = WithScratchFolder<>;

// The names in `folder`, without "." and "..", sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// The whole file as bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Runs `commandLine` (no window, output discarded); its exit code, or -1 when
// it could not be started or did not end within a minute.
long RunProgram(const std::string& commandLine);
