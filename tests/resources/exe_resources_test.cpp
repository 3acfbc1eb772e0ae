// Reads the manifest and the version record back out of the built Sorvane.exe
// with the platform's own resource and version functions. The exe is named by
// SORVANE_EXE (relative to the working folder, or a Windows path).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string ExePath() {
    const char* exe = std::getenv("SORVANE_EXE");
    return exe != nullptr ? exe : "Sorvane.exe";
}

std::string Manifest() {
    HMODULE module = LoadLibraryExA(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "<cannot load " + ExePath() + ">";
    std::string text = "<no manifest>";
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    if (found != nullptr) {
        HGLOBAL loaded = LoadResource(module, found);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        if (bytes != nullptr) text.assign(bytes, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

// One string of the version record's U.S. English / Windows ANSI block.
std::string VersionString(const char* name) {
    std::string exe = ExePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    if (size == 0) return "<no version record>";
    std::vector<char> record(size);
    if (!GetFileVersionInfoA(exe.c_str(), 0, size, record.data())) return "<unreadable>";
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(record.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return "<missing " + std::string(name) + ">";
    }
    return value;
}

TEST(ExeResources, ManifestAsksToRunAsTheInvoker) {
    std::string manifest = Manifest();
    EXPECT_NE(std::string::npos, manifest.find("requestedExecutionLevel level=\"asInvoker\""))
        << manifest;
    EXPECT_EQ(std::string::npos, manifest.find("requireAdministrator")) << manifest;
}

TEST(ExeResources, VersionRecordNamesTheProduct) {
    EXPECT_EQ("Sorvane", VersionString("ProductName"));
    EXPECT_EQ(SORVANE_VERSION, VersionString("FileVersion"));
    EXPECT_EQ(SORVANE_VERSION, VersionString("ProductVersion"));
    EXPECT_EQ("LDAP registry settings check and repair", VersionString("FileDescription"));
    EXPECT_EQ("Sorvane.exe", VersionString("OriginalFilename"));
}

TEST(ExeResources, FixedFileVersionMatchesTheText) {
    std::string exe = ExePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_NE(0u, size);
    std::vector<char> record(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    std::string text = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                       std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                       std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(SORVANE_VERSION, text);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

}  // namespace
