#include "scratch_key.h"

namespace {

// Every read goes through one buffer this size: larger than any value a test stores.
const DWORD kReadBufferSize = 4096;

}  // namespace

void ScratchKeyTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratchSubPath =
        std::string("Software\\SorvaneTests\\") + info->test_suite_name() + "." + info->name();
    scratchFullPath = "HKEY_CURRENT_USER\\" + scratchSubPath;
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchSubPath.c_str());
    ASSERT_TRUE(CreateKeyRaw("")) << scratchFullPath;
}

void ScratchKeyTest::TearDown() { RegDeleteTreeA(HKEY_CURRENT_USER, scratchSubPath.c_str()); }

std::string ScratchKeyTest::SubPathOf(const std::string& relative) const {
    return relative.empty() ? scratchSubPath : scratchSubPath + "\\" + relative;
}

std::string ScratchKeyTest::FullPathOf(const std::string& relative) const {
    return relative.empty() ? scratchFullPath : scratchFullPath + "\\" + relative;
}

bool ScratchKeyTest::CreateKeyRaw(const std::string& relative, const char* classText,
                                  DWORD options) {
    HKEY created;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SubPathOf(relative).c_str(), 0,
                        const_cast<char*>(classText), options, KEY_ALL_ACCESS, nullptr, &created,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(created);
    return true;
}

bool ScratchKeyTest::KeyExistsRaw(const std::string& relative) {
    HKEY opened = OpenKeyRaw(relative, KEY_READ);
    if (opened == nullptr) return false;
    RegCloseKey(opened);
    return true;
}

HKEY ScratchKeyTest::OpenKeyRaw(const std::string& relative, REGSAM access) {
    HKEY opened;
    return RegOpenKeyExA(HKEY_CURRENT_USER, SubPathOf(relative).c_str(), 0, access, &opened) ==
                   ERROR_SUCCESS
               ? opened
               : nullptr;
}

bool ScratchKeyTest::SetValueRaw(const std::string& relative, const char* name, DWORD type,
                                 const void* data, DWORD size) {
    HKEY opened = OpenKeyRaw(relative, KEY_SET_VALUE);
    if (opened == nullptr) return false;
    LONG r = RegSetValueExA(opened, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return r == ERROR_SUCCESS;
}

bool ScratchKeyTest::SetStoredValueRaw(const std::string& relative, const wchar_t* name, DWORD type,
                                       const void* data, DWORD size) {
    HKEY opened = OpenKeyRaw(relative, KEY_SET_VALUE);
    if (opened == nullptr) return false;
    LONG r = RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return r == ERROR_SUCCESS;
}

bool ScratchKeyTest::ReadValueRaw(const std::string& relative, const char* name, DWORD* type,
                                  std::string* data) {
    HKEY opened = OpenKeyRaw(relative, KEY_QUERY_VALUE);
    if (opened == nullptr) return false;
    char buffer[kReadBufferSize];
    DWORD size = sizeof buffer;
    LONG r = RegQueryValueExA(opened, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(opened);
    if (r != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
}

bool ScratchKeyTest::ReadStoredValueRaw(const std::string& relative, const char* name, DWORD* type,
                                        std::string* data) {
    wchar_t wideName[256];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 256) == 0) return false;
    HKEY opened = OpenKeyRaw(relative, KEY_QUERY_VALUE);
    if (opened == nullptr) return false;
    char buffer[kReadBufferSize];
    DWORD size = sizeof buffer;
    LONG r =
        RegQueryValueExW(opened, wideName, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(opened);
    if (r != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
}

bool IsOpenKeyHandle(HKEY key) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
