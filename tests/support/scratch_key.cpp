#include "scratch_key.h"

namespace {

// Every read goes through one buffer this size: larger than any value a test stores.
const DWORD kReadBufferSize = 4096;

// Runs `call` on `opened` (null: fails at once) and closes it.
template <typename Call>
bool CallAndClose(HKEY opened, Call call) {
    if (opened == nullptr) return false;
    const LONG result = call(opened);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

// Reads through `query` into one buffer, then into `data`.
template <typename Query>
bool ReadAndClose(HKEY opened, std::string* data, Query query) {
    char buffer[kReadBufferSize];
    DWORD size = sizeof buffer;
    const bool read = CallAndClose(
        opened, [&](HKEY key) { return query(key, reinterpret_cast<BYTE*>(buffer), &size); });
    if (read) data->assign(buffer, size);
    return read;
}

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
    return CallAndClose(OpenKeyRaw(relative, KEY_SET_VALUE), [&](HKEY key) {
        return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    });
}

bool ScratchKeyTest::SetStoredValueRaw(const std::string& relative, const wchar_t* name, DWORD type,
                                       const void* data, DWORD size) {
    return CallAndClose(OpenKeyRaw(relative, KEY_SET_VALUE), [&](HKEY key) {
        return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    });
}

bool ScratchKeyTest::ReadValueRaw(const std::string& relative, const char* name, DWORD* type,
                                  std::string* data) {
    return ReadAndClose(OpenKeyRaw(relative, KEY_QUERY_VALUE), data,
                        [&](HKEY key, BYTE* buffer, DWORD* size) {
                            return RegQueryValueExA(key, name, nullptr, type, buffer, size);
                        });
}

bool ScratchKeyTest::ReadStoredValueRaw(const std::string& relative, const char* name, DWORD* type,
                                        std::string* data) {
    wchar_t wideName[256];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 256) == 0) return false;
    return ReadAndClose(OpenKeyRaw(relative, KEY_QUERY_VALUE), data,
                        [&](HKEY key, BYTE* buffer, DWORD* size) {
                            return RegQueryValueExW(key, wideName, nullptr, type, buffer, size);
                        });
}

bool IsOpenKeyHandle(HKEY key) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
