// Full walks of the values and the sub-keys of one key: RegistryKey's
// NextValue and NextSubKey against plain RegEnumValueA / RegEnumKeyExA loops
// on the same key. Every NextValue/NextSubKey step refreshes the key's
// information first (so its name buffer fits the key as it is now); the
// figures show what that refresh costs as the key grows.
#include "registry_bench.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "registry/registry_key.h"
#include "timing.h"

namespace {

const char kValuesSub[] = "Software\\SorvaneBench\\Values";
const char kValuesFull[] = "HKEY_CURRENT_USER\\Software\\SorvaneBench\\Values";
const char kSubKeysSub[] = "Software\\SorvaneBench\\SubKeys";
const char kSubKeysFull[] = "HKEY_CURRENT_USER\\Software\\SorvaneBench\\SubKeys";
const int kRounds = 5;

std::string Name(char letter, int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%05d", letter, index);
    return text;
}

// Fresh keys: one with `count` REG_SZ values, one with `count` empty sub-keys.
bool Build(int count) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SorvaneBench");
    HKEY values, subKeys;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kValuesSub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &values, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSubKeysSub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &subKeys, nullptr) != ERROR_SUCCESS) {
        RegCloseKey(values);
        return false;
    }
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        std::string value = Name('v', i), data = "data of " + value;
        ok = RegSetValueExA(values, value.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
        HKEY sub;
        ok = ok && RegCreateKeyExA(subKeys, Name('k', i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &sub, nullptr) == ERROR_SUCCESS;
        if (ok) RegCloseKey(sub);
    }
    RegCloseKey(values);
    RegCloseKey(subKeys);
    return ok;
}

// The key-information query that every NextValue/NextSubKey step starts with.
void QueryInfo(HKEY key) {
    char classText[256];
    DWORD classSize = sizeof classText, counters[7];
    FILETIME written;
    RegQueryInfoKeyA(key, classText, &classSize, nullptr, &counters[0], &counters[1], &counters[2],
                     &counters[3], &counters[4], &counters[5], &counters[6], &written);
}

// Each walk returns the number of entries it saw, or -1 when it did not end
// with ERROR_NO_MORE_ITEMS.
int WalkValuesOurs(RegistryKey* key) {
    int seen = 0;
    DWORD type;
    BYTE data[64];
    DWORD size = sizeof data;
    for (const char* name = key->NextValue(&type, data, &size, true); name != nullptr;
         name = key->NextValue(&type, data, &size, false)) {
        ++seen;
        size = sizeof data;
    }
    return GetLastError() == ERROR_NO_MORE_ITEMS ? seen : -1;
}

// With `refresh`, the plain loop also queries the key's information before
// each step: the least a walk that refreshes can cost.
int WalkValuesRaw(HKEY key, bool refresh) {
    char name[256];
    BYTE data[64];
    for (DWORD index = 0;; ++index) {
        if (refresh) QueryInfo(key);
        DWORD nameSize = sizeof name, size = sizeof data, type;
        LONG r = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &size);
        if (r == ERROR_NO_MORE_ITEMS) return static_cast<int>(index);
        if (r != ERROR_SUCCESS) return -1;
    }
}

int WalkSubKeysOurs(RegistryKey* key) {
    int seen = 0;
    for (const char* name = key->NextSubKey(true); name != nullptr; name = key->NextSubKey(false)) {
        ++seen;
    }
    return GetLastError() == ERROR_NO_MORE_ITEMS ? seen : -1;
}

int WalkSubKeysRaw(HKEY key, bool refresh) {
    char name[256];
    for (DWORD index = 0;; ++index) {
        if (refresh) QueryInfo(key);
        DWORD nameSize = sizeof name;
        FILETIME written;
        LONG r = RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, &written);
        if (r == ERROR_NO_MORE_ITEMS) return static_cast<int>(index);
        if (r != ERROR_SUCCESS) return -1;
    }
}

// Microseconds per RegQueryInfoKeyA call on `key`.
double QueryInfoMicroseconds(HKEY key) {
    const int calls = 500;
    double started = bench::Now();
    for (int i = 0; i < calls; ++i) QueryInfo(key);
    return (bench::Now() - started) / calls * 1e6;
}

}  // namespace

namespace bench {

bool RunWalks(int count) {
    if (!Build(count)) {
        std::printf("building the walk keys failed\n");
        return false;
    }
    RegistryKey oursValues, oursSubKeys;
    HKEY values, subKeys;
    if (!oursValues.Open(kValuesFull) || !oursSubKeys.Open(kSubKeysFull) ||
        RegOpenKeyExA(HKEY_CURRENT_USER, kValuesSub, 0, KEY_ALL_ACCESS, &values) != ERROR_SUCCESS ||
        RegOpenKeyExA(HKEY_CURRENT_USER, kSubKeysSub, 0, KEY_ALL_ACCESS, &subKeys) !=
            ERROR_SUCCESS) {
        std::printf("opening the walk keys failed\n");
        return false;
    }
    // Six kinds: ours, plain, plain with refresh; values then sub-keys.
    std::vector<double> seconds[6];
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        for (int turn = 0; turn < 6 && ok; ++turn) {
            int kind = (turn + round) % 6;  // rotate which kind goes first
            double started = bench::Now();
            int seen = kind == 0   ? WalkValuesOurs(&oursValues)
                       : kind == 1 ? WalkValuesRaw(values, false)
                       : kind == 2 ? WalkValuesRaw(values, true)
                       : kind == 3 ? WalkSubKeysOurs(&oursSubKeys)
                       : kind == 4 ? WalkSubKeysRaw(subKeys, false)
                                   : WalkSubKeysRaw(subKeys, true);
            seconds[kind].push_back(bench::Now() - started);
            ok = seen == count;
            if (!ok) std::printf("walk %d saw %d of %d entries\n", kind, seen, count);
        }
    }
    if (ok) {
        double m[6];
        for (int kind = 0; kind < 6; ++kind) m[kind] = bench::Median(seconds[kind]) * 1000;
        const char* target = count >= 5000 ? "<= 3" : "";
        PrintRow(bench::Format("NextValue walk, %.0f values (ms; plain RegEnumValueA loop)", count),
                 bench::Format("%.1f", m[0]), bench::Format("%.1f", m[1]), m[0] / m[1], target);
        PrintRow(
            bench::Format("NextSubKey walk, %.0f sub-keys (ms; plain RegEnumKeyExA loop)", count),
            bench::Format("%.1f", m[3]), bench::Format("%.1f", m[4]), m[3] / m[4], target);
        PrintRow(
            bench::Format("NextValue walk, %.0f values (ms; plain loop + RegQueryInfoKeyA)", count),
            bench::Format("%.1f", m[0]), bench::Format("%.1f", m[2]), m[0] / m[2], "");
        PrintRow(bench::Format("NextSubKey walk, %.0f sub-keys (ms; plain loop + RegQueryInfoKeyA)",
                               count),
                 bench::Format("%.1f", m[3]), bench::Format("%.1f", m[5]), m[3] / m[5], "");
        PrintNote(bench::Format("%5.0f entries: ", count) +
                  bench::Format("RegQueryInfoKeyA %5.1f us per call on the values key, ",
                                QueryInfoMicroseconds(values)) +
                  bench::Format("%5.1f us on the sub-keys key; ", QueryInfoMicroseconds(subKeys)) +
                  bench::Format("RegEnumValueA %4.1f us per step, ", m[1] / count * 1000) +
                  bench::Format("RegEnumKeyExA %4.1f us per step", m[4] / count * 1000));
    }
    RegCloseKey(values);
    RegCloseKey(subKeys);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SorvaneBench");
    return ok;
}

}  // namespace bench
