#include "ldap_settings.h"

#include <cstring>

#include "console.h"
#include "registry/registry_key.h"
#include "run_context.h"
#include "texts.h"
#include "value_rules.h"

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;

namespace {

// The open failed: say so and, where the account was merely not elevated
// (User Account Control hands administrators a filtered token), say what helps.
void ReportOpenFailure(const RunContext& context, const char* keyPath) {
    const DWORD reason = GetLastError();
    PrintLine(std::string(kCouldNotOpen) + keyPath);
    if (reason == ERROR_ACCESS_DENIED && !context.processIsElevated()) PrintLine(kElevationHint);
}

void PrintProgress(const std::string& text) {
    if (VerboseMode) PrintLine(text);
}

// Reads one value into ValueBuffer and fills `value` from it; false when the
// read failed. The text is the bytes the read reported, cut at the first NUL
// among them. Values written by this tool do end in a NUL (RegSetValueExA
// stores the one that follows string data not ending in one), but another
// writer may store string data without one, and such data must not run on
// into what an earlier, longer value left in the shared buffer.
// The value is then read once more as stored, so that a text the conversion
// changed never passes a rule by accident.
bool ReadSetting(RegistryKey* key, const char* valueName, SettingValue* value) {
    ValueBufferSize = kValueBufferCapacity;
    if (!key->ReadValue(valueName, ValueBuffer, &ValueBufferSize)) return false;
    DWORD count = ValueBufferSize < kValueBufferCapacity ? ValueBufferSize : kValueBufferCapacity;
    const char* bytes = reinterpret_cast<const char*>(ValueBuffer);
    value->text.assign(bytes, strnlen(bytes, count));

    // Twice the ANSI buffer: each byte read there is at most one UTF-16 unit.
    BYTE stored[2 * kValueBufferCapacity + 2];
    DWORD storedSize = sizeof stored;
    DWORD type = REG_NONE;
    if (key->ReadStoredValue(valueName, &type, stored, &storedSize)) {
        value->type = type;
        value->stored.assign(stored, stored + storedSize);
        value->representable = StoredAsText(value->text, type, value->stored);
    } else {
        // Not seen as stored, so not known to be what it reads as.
        value->type = REG_NONE;
        value->stored.clear();
        value->representable = false;
    }
    return true;
}

// A double-byte character is never cut in two.
std::string CutForUnattendedOutput(const std::string& text) {
    const size_t kLongest = 100;
    if (text.size() <= kLongest) return text;
    size_t end = 0;
    while (end < kLongest) {
        size_t next = end + (IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1);
        if (next > kLongest) break;
        end = next;
    }
    return text.substr(0, end) + kShortened;
}

// The texts that tell a server read from a client read, and the values read
// under that key.
struct KeyReading {
    const char* keyPath;
    const char* problemReading;
    const char* readProgress;
    SettingId first;
    SettingId last;
};
const KeyReading kKeyReadings[] = {
    {ServerKeyPath, kProblemReadingServer, kServerReadProgress, kLoginAuth, kLdapSuffix},
    {ClientKeyPath, kProblemReadingClient, kClientReadProgress, kDnSuffix, kDnSuffix},
};

// Reads the values of one key, in order, into `values`; false after a
// failure, whose notice has been shown.
bool ReadKeyValues(const RunContext& context, const KeyReading& reading, SettingValue values[]) {
    RegistryKey key;
    key.SetAccess(context.readAccess | context.view);
    if (!key.Open(reading.keyPath)) {
        ReportOpenFailure(context, reading.keyPath);
        ShowFatalNotice(context, Notice::kReadFailure);
        return false;
    }
    PrintProgress(std::string(kOpenProgress) + reading.keyPath);
    for (int id = reading.first; id <= reading.last; ++id) {
        const char* name = kSettings[id].valueName;
        SettingValue value;
        if (!ReadSetting(&key, name, &value)) {
            PrintLine(reading.problemReading + std::string(reading.keyPath) + " = " + name);
            ShowFatalNotice(context, Notice::kReadFailure);
            return false;
        }
        values[id] = value;
        PrintProgress(reading.readProgress + std::string(reading.keyPath) + " = " + name + " = " +
                      ShownValue(context, value));
    }
    return true;
}

}  // namespace

// One key object per key, each closed before the next is opened, so at most
// one registry handle is open at any moment.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount]) {
    for (const KeyReading& reading : kKeyReadings) {
        if (!ReadKeyValues(context, reading, values)) return false;
    }
    return true;
}

std::string ShownValue(const RunContext& context, const SettingValue& value) {
    std::string shown = context.Unattended() ? CutForUnattendedOutput(value.text) : value.text;
    return value.representable ? shown : shown + kNotRepresentable;
}

bool WriteLdapSetting(const RunContext& context, SettingId setting, const char* text,
                      DWORD byteCount) {
    const char* keyPath = kSettings[setting].keyPath;
    const char* valueName = kSettings[setting].valueName;
    RegistryKey key;
    key.SetAccess(KEY_ALL_ACCESS | context.view);
    if (!key.Open(keyPath)) {
        ReportOpenFailure(context, keyPath);
        ShowFatalNotice(context, Notice::kWriteFailure);
        return false;
    }
    PrintProgress(std::string(kOpenForWriteProgress) + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        PrintLine(std::string(kProblemWriting) + keyPath + " = " + valueName + " = " + text);
        ShowFatalNotice(context, Notice::kWriteFailure);
        return false;
    }
    return true;
}

void ShowFatalNotice(const RunContext& context, Notice notice) {
    if (context.Unattended()) return;
    PrintLine("");
    PrintLine(notice == Notice::kReadFailure ? kReadNotice : kWriteNotice);
    PrintLine(kRecordNotice);
    PrintLine(kQuitNotice);
    WaitForEntry();
}
