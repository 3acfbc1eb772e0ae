#include "fake_registry_key.h"

#include <cstring>

#include "registry/registry_internal.h"
#include "registry/registry_key.h"

FakeRegistry fakeRegistry;

namespace {

using registry_internal::Report;

// Any non-null handle will do; the fake finds the key through `path`.
HKEY const kOpenHandle = reinterpret_cast<HKEY>(0x1234);

}  // namespace

RegistryKey::RegistryKey() = default;

RegistryKey::~RegistryKey() {
    if (currentKey != nullptr) --fakeRegistry.openNow;
}

bool RegistryKey::Open(const char* fullPath) {
    const bool refused =
        fakeRegistry.failingOpens.count(fullPath) != 0 ||
        (fakeRegistry.opensBeforeFailure >= 0 &&
         static_cast<int>(fakeRegistry.opens.size()) >= fakeRegistry.opensBeforeFailure);
    if (refused) return Report(fakeRegistry.openFailure);
    if (fakeRegistry.keys.count(fullPath) == 0) return Report(ERROR_FILE_NOT_FOUND);
    if (currentKey == nullptr) {
        fakeRegistry.openMost = std::max(fakeRegistry.openMost, ++fakeRegistry.openNow);
    }
    currentKey = kOpenHandle;
    std::strcpy(path, fullPath);
    fakeRegistry.opens.push_back(fullPath);
    fakeRegistry.accesses.push_back(openAccess);
    return Report(ERROR_SUCCESS);
}

bool RegistryKey::ReadValue(const char* valueName, BYTE* data, DWORD* dataSize) {
    const auto& values = fakeRegistry.keys[path];
    auto found = values.find(valueName);
    if (found == values.end()) return Report(ERROR_FILE_NOT_FOUND);
    const std::string& bytes = found->second;
    DWORD needed = static_cast<DWORD>(bytes.size());
    if (needed > *dataSize) {
        *dataSize = needed;
        return Report(ERROR_MORE_DATA);
    }
    std::memcpy(data, bytes.data(), needed);
    *dataSize = needed;
    return Report(ERROR_SUCCESS);
}

// The stored form of a string the fake holds: its bytes in the ANSI code page,
// converted to UTF-16 as the registry would have stored them.
bool RegistryKey::ReadStoredValue(const char* valueName, DWORD* type, BYTE* data, DWORD* dataSize) {
    const auto& values = fakeRegistry.keys[path];
    auto found = values.find(valueName);
    if (found == values.end()) return Report(ERROR_FILE_NOT_FOUND);
    const std::string& bytes = found->second;
    std::wstring wide(bytes.size(), L'\0');
    int length = bytes.empty()
                     ? 0
                     : MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           &wide[0], static_cast<int>(wide.size()));
    wide.resize(length);
    wide.push_back(L'\0');
    DWORD needed = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    *type = REG_SZ;
    if (needed > *dataSize) {
        *dataSize = needed;
        return Report(ERROR_MORE_DATA);
    }
    std::memcpy(data, wide.data(), needed);
    *dataSize = needed;
    return Report(ERROR_SUCCESS);
}

bool RegistryKey::WriteString(const char* valueName, const BYTE* data, DWORD byteCount) {
    std::string bytes(reinterpret_cast<const char*>(data), byteCount);
    fakeRegistry.writes.push_back({path, valueName, bytes});
    if (fakeRegistry.failingWrites.count(std::string(path) + "|" + valueName) != 0) {
        return Report(ERROR_ACCESS_DENIED);
    }
    fakeRegistry.keys[path][valueName] = bytes;
    return Report(ERROR_SUCCESS);
}
