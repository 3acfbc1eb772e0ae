#include "settings_store.h"

#include <cstring>

#include "console.h"
#include "registry/registry_key.h"
#include "run_context.h"
#include "text_encoding.h"
#include "texts.h"

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;

namespace {

// The view that is not the run's: the 32-bit one, unless the run asked for it
// (or, as the 32-bit build does, for no view, which on 64-bit Windows is it).
REGSAM OtherView(REGSAM view) {
    return view == KEY_WOW64_64KEY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

// The other view, when `keyPath` is there; 0 otherwise. Where there is one
// view only (32-bit Windows) both flags name the same key, missing in both.
REGSAM ViewHolding(const char* keyPath, REGSAM view) {
    RegistryKey key;
    key.SetAccess(KEY_READ | OtherView(view));
    return key.Open(keyPath) ? OtherView(view) : 0;
}

// The open failed: say so and, where the account was merely not elevated
// (User Account Control hands administrators a filtered token), or the key is
// in the other registry view, say what helps. Returns that other view, or 0.
REGSAM ReportOpenFailure(const RunContext& context, const char* keyPath) {
    const DWORD reason = GetLastError();
    Show(context, std::string(kCouldNotOpen) + keyPath);
    if (reason == ERROR_ACCESS_DENIED && !context.processIsElevated()) {
        Show(context, kElevationHint);
    }
    const REGSAM other = reason == ERROR_FILE_NOT_FOUND ? ViewHolding(keyPath, context.view) : 0;
    if (other != 0 && !context.Unattended()) {
        Show(context, other == KEY_WOW64_64KEY ? kKeysIn64BitView : kKeysIn32BitView);
    }
    return other;
}

// True when `text`, as the ANSI read gave it (cut at its first NUL), is the
// value stored: data of a type other than a string passes through that read
// unchanged, and a string's Unicode text up to its first NUL must be what
// `text` converts to.
bool StoredAsText(const std::string& text, DWORD type, const std::vector<BYTE>& stored) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return true;
    if (stored.size() % 2 != 0) return false;
    return WideFromAnsi(text) == UpToFirstNul(WideFromStored(stored));
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
bool ReadKeyValues(const RunContext& context, const KeyReading& reading, SettingValue values[],
                   REGSAM* keysInOtherView, ReadReport report) {
    const bool progress = report == ReadReport::kWithProgress;
    RegistryKey key;
    key.SetAccess(context.readAccess | context.view);
    if (!key.Open(reading.keyPath)) {
        if (report == ReadReport::kSilent) return false;
        *keysInOtherView = ReportOpenFailure(context, reading.keyPath);
        ShowFatalNotice(context, Notice::kReadFailure);
        return false;
    }
    if (progress && VerboseMode) PrintLine(std::string(kOpenProgress) + reading.keyPath);
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

// One key object per key, each closed before the next is opened, so at most
// one registry handle is open at any moment.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount],
                      REGSAM* keysInOtherView, ReadReport report) {
    for (const KeyReading& reading : kKeyReadings) {
        if (!ReadKeyValues(context, reading, values, keysInOtherView, report)) return false;
    }
    return true;
}

std::string ShownValue(const RunContext& context, const SettingValue& value) {
    // A line break in a value would print a line of its own: a forged
    // "RESULT:" line, say, above the real one.
    // A REG_DWORD as the number it holds, as the log and the JSON document
    // give it, not as the bytes the read hands over.
    const bool number = value.type == REG_DWORD && value.stored.size() == sizeof(DWORD);
    const std::string oneLine =
        OnOneLine(number ? std::to_string(DwordOf(value.stored)) : value.text);
    std::string shown = context.Unattended() ? Shortened(oneLine) : oneLine;
    if (!value.representable) shown += kNotRepresentable;
    // Data of another type never passes a rule, whatever it reads as: the
    // line says why.
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
    if (VerboseMode) PrintLine(std::string(kOpenForWriteProgress) + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        Show(context, std::string(kProblemWriting) + keyPath + " = " + valueName + " = " + text);
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
