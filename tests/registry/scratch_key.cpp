#include "scratch_key.h"

namespace {

void DeleteTree(const std::string& sub) { RegDeleteTreeA(HKEY_CURRENT_USER, sub.c_str()); }

std::string Join(const std::string& base, const std::string& relative) {
    return relative.empty() ? base : base + "\\" + relative;
}

}  // namespace

void ScratchKeyTest::SetUp() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    sub = std::string("Software\\SorvaneTests\\") + info->test_suite_name() + "." + info->name();
    full = "HKEY_CURRENT_USER\\" + sub;
    DeleteTree(sub);
    ASSERT_TRUE(MakeKey(""));
}

void ScratchKeyTest::TearDown() { DeleteTree(sub); }

bool ScratchKeyTest::MakeKey(const std::string& relative, const char* classText) {
    HKEY key;
    LONG r =
        RegCreateKeyExA(HKEY_CURRENT_USER, Join(sub, relative).c_str(), 0,
                        const_cast<char*>(classText), 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ScratchKeyTest::SetRaw(const std::string& relative, const char* name, DWORD type,
                            const void* data, DWORD size) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Join(sub, relative).c_str(), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG r = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool ScratchKeyTest::GetRaw(const std::string& relative, const char* name, DWORD* type,
                            std::string* data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Join(sub, relative).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    char buffer[4096];
    DWORD size = sizeof buffer;
    LONG r = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
}

bool ScratchKeyTest::GetStored(const std::string& relative, const char* name, DWORD* type,
                               std::string* data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Join(sub, relative).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t wideName[256];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 256) == 0) {
        RegCloseKey(key);
        return false;
    }
    char buffer[4096];
    DWORD size = sizeof buffer;
    LONG r = RegQueryValueExW(key, wideName, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
}

bool ScratchKeyTest::KeyExists(const std::string& relative) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Join(sub, relative).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}
