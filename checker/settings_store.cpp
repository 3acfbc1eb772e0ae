#include "settings_store.h"

#include <algorithm>
#include <cstring>

#include "registry/registry_key.h"
#include "shown_text.h"

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;

namespace {

// Says what helps where the token is filtered (User Account Control) or the
// key is in the other view; true when it is there (32-bit Windows has one).
bool ReportOpenFailure(const KeyAccess& access, StoreReport& report, const char* keyPath) {
    const DWORD reason = GetLastError();
    report.Line(std::string(" ERROR - could not open ") + keyPath);
    if (reason == ERROR_ACCESS_DENIED && !access.processIsElevated()) {
        report.Line("Run Sorvane from an elevated command prompt (Run as administrator)");
    }
    RegistryKey inOther;
    inOther.SetAccess(KEY_READ | access.view.Other().Flag());
    if (reason != ERROR_FILE_NOT_FOUND || !inOther.Open(keyPath)) return false;
    const std::string bits = access.view.Other().Bits();
    report.Hint("The keys are in the " + bits +
                "-bit registry view: run it again with /reg:" + bits);
    return true;
}

// Cut at the first NUL: data without one must not run on into an earlier, longer
// value's bytes. Read again as stored, so a text the conversion changed never passes.
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
    if (!key->ReadStoredValue(valueName, &type, stored, &storedSize)) {
        value->representable = false;  // not seen as stored, so not known to be it
        return true;
    }
    value->type = type;
    value->stored.assign(stored, stored + storedSize);
    // Data of another type passes the "A" read unchanged; a string must be
    // what its text converts to, up to its first NUL.
    value->representable =
        !IsStringType(type) ||
        (storedSize % 2 == 0 && WideFromAnsi(value->text) == StoredString(value->stored));
    return true;
}

struct KeyReading {
    const char* keyPath;
    const char* problemReading;
    const char* readProgress;
    SettingId first;
    SettingId last;
};
const KeyReading kKeyReadings[] = {
    {ServerKeyPath, "ERROR - problem reading ", "Read--LDAP Key/Value  = ", kLoginAuth,
     kLdapSuffix},
    {ClientKeyPath, "ERROR - problem reading  ", "Read LDAP Key/Value  = ", kDnSuffix, kDnSuffix},
};

bool ReadKeyValues(const KeyAccess& access, StoreReport& report, const KeyReading& reading,
                   SettingValue values[], bool* inOtherView, bool progress) {
    RegistryKey key;
    key.SetAccess(access.reading | access.view.Flag());
    if (!key.Open(reading.keyPath)) {
        *inOtherView = ReportOpenFailure(access, report, reading.keyPath);
        return false;
    }
    if (progress && VerboseMode) report.Line(std::string("Open--RegKey:-- ") + reading.keyPath);
    for (int id = reading.first; id <= reading.last; ++id) {
        const char* name = kSettings[id].valueName;
        SettingValue value;
        if (!ReadSetting(&key, name, &value)) {
            report.Line(reading.problemReading + std::string(reading.keyPath) + " = " + name);
            return false;
        }
        values[id] = value;
        if (!progress || !VerboseMode) continue;
        report.Line(reading.readProgress + std::string(reading.keyPath) + " = " + name + " = " +
                    ShownValue(value));
    }
    return true;
}

}  // namespace

// Each key is closed before the next is opened: one handle at most at a time.
bool ReadLdapSettings(const KeyAccess& access, StoreReport& report,
                      SettingValue values[kSettingCount], bool* inOtherView, bool progress) {
    SettingValue read[kSettingCount];
    for (const KeyReading& reading : kKeyReadings) {
        if (!ReadKeyValues(access, report, reading, read, inOtherView, progress)) return false;
    }
    std::copy(read, read + kSettingCount, values);
    return true;
}

bool WriteLdapSetting(const KeyAccess& access, StoreReport& report, SettingId setting,
                      const char* text, DWORD byteCount) {
    const char* keyPath = kSettings[setting].keyPath;
    const char* valueName = kSettings[setting].valueName;
    RegistryKey key;
    key.SetAccess(KEY_ALL_ACCESS | access.view.Flag());
    if (!key.Open(keyPath)) {
        ReportOpenFailure(access, report, keyPath);
        return false;
    }
    if (VerboseMode) report.Line(std::string("Open for Write --RegKey:-- ") + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        report.Line(std::string("ERROR - problem writing ") + keyPath + " = " + valueName + " = " +
                    OnOneLine(text));
        return false;
    }
    return true;
}
