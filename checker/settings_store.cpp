#include "settings_store.h"

#include <cstring>

#include "console.h"
#include "registry/registry_key.h"
#include "run_context.h"
#include "text_encoding.h"

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;

namespace {

// Says what helps where the token is filtered (User Account Control) or the key
// is in the other view, and returns that view or 0 (32-bit Windows has one).
REGSAM ReportOpenFailure(const RunContext& context, const char* keyPath) {
    const DWORD reason = GetLastError();
    // The 32-bit build's "no view" is the 32-bit one.
    const REGSAM other = context.view == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    RegistryKey inOther;
    inOther.SetAccess(KEY_READ | other);
    Show(context, std::string(" ERROR - could not open ") + keyPath);
    if (reason == ERROR_ACCESS_DENIED && !context.processIsElevated()) {
        Show(context, "Run Sorvane from an elevated command prompt (Run as administrator)");
    }
    if (reason != ERROR_FILE_NOT_FOUND || !inOther.Open(keyPath)) return 0;
    const bool in64 = other == KEY_WOW64_64KEY;
    if (!context.Unattended()) {
        Show(context, std::string("The keys are in the ") + (in64 ? "64" : "32") +
                          "-bit registry view: run it again with /reg:" + (in64 ? "64" : "32"));
    }
    return other;
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

bool ReadKeyValues(const RunContext& context, const KeyReading& reading, SettingValue values[],
                   REGSAM* keysInOtherView, ReadReport report) {
    const bool progress = report == ReadReport::kWithProgress;
    RegistryKey key;
    key.SetAccess(context.ReadAccess() | context.view);
    if (!key.Open(reading.keyPath)) {
        if (report == ReadReport::kSilent) return false;
        *keysInOtherView = ReportOpenFailure(context, reading.keyPath);
        ShowFatalNotice(context, Notice::kReadFailure);
        return false;
    }
    if (progress && VerboseMode) PrintLine(std::string("Open--RegKey:-- ") + reading.keyPath);
    for (int id = reading.first; id <= reading.last; ++id) {
        const char* name = kSettings[id].valueName;
        SettingValue value;
        if (!ReadSetting(&key, name, &value)) {
            if (report == ReadReport::kSilent) return false;
            Show(context, reading.problemReading + std::string(reading.keyPath) + " = " + name);
            ShowFatalNotice(context, Notice::kReadFailure);
            return false;
        }
        values[id] = value;
        if (!progress || !VerboseMode) continue;
        PrintLine(reading.readProgress + std::string(reading.keyPath) + " = " + name + " = " +
                  ShownValue(context, value));
    }
    return true;
}

}  // namespace

// Each key is closed before the next is opened: one handle at most at a time.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount],
                      REGSAM* keysInOtherView, ReadReport report) {
    for (const KeyReading& reading : kKeyReadings) {
        if (!ReadKeyValues(context, reading, values, keysInOtherView, report)) return false;
    }
    return true;
}

std::string ShownValue(const RunContext& context, const SettingValue& value) {
    // On one line, so a value cannot forge a "RESULT:" line above the real one;
    // a REG_DWORD as the number it holds, as the log and the document give it.
    const bool number = value.type == REG_DWORD && value.stored.size() == sizeof(DWORD);
    const std::string oneLine =
        OnOneLine(number ? std::to_string(DwordOf(value.stored)) : value.text);
    std::string shown = context.Unattended() ? Shortened(oneLine) : oneLine;
    if (!value.representable) shown += " [not representable in this code page]";
    // Data of another type never passes a rule: the line says why.
    if (value.type != REG_SZ && !value.stored.empty()) shown += " (" + TypeName(value.type) + ")";
    return shown;
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
    if (VerboseMode) PrintLine(std::string("Open for Write --RegKey:-- ") + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        Show(context, std::string("ERROR - problem writing ") + keyPath + " = " + valueName +
                          " = " + OnOneLine(text));
        ShowFatalNotice(context, Notice::kWriteFailure);
        return false;
    }
    return true;
}

void ShowFatalNotice(const RunContext& context, Notice notice) {
    if (context.Unattended()) return;
    PrintLine("");
    PrintLine(notice == Notice::kReadFailure
                  ? "This program cannot read one or more of the four LDAP registry key/values "
                    "it requires"
                  : "This program cannot write to one of the four LDAP registry key/values it "
                    "requires");
    PrintLine("Record information (i.e. screen capture) and contact your next level of support");
    PrintLine("Press Q to Quit");
    WaitForEntry();
}
