#include "ldap_settings.h"

#include <cstring>

#include "console.h"
#include "registry/registry_key.h"
#include "texts.h"
#include "value_rules.h"

const char* const ServerKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
const char* const ClientKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";
const char* const ServerValueNames[3] = {"Enable Login Auth", "Enable CR Auth", "LdapSuffix"};
const char* const ClientValueName = "DNSuffix";

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;
bool UnattendedMode = false;
REGSAM KeyView = 0;
REGSAM ReadAccess = KEY_ALL_ACCESS;

namespace {
bool QueryTokenElevation();
}  // namespace

bool (*ProcessIsElevated)() = QueryTokenElevation;

namespace {

bool QueryTokenElevation() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

// The open failed: say so and, where the account was merely not elevated
// (User Account Control hands administrators a filtered token), say what helps.
void ReportOpenFailure(const char* keyPath) {
    const DWORD reason = GetLastError();
    PrintLine(std::string(kCouldNotOpen) + keyPath);
    if (reason == ERROR_ACCESS_DENIED && !ProcessIsElevated()) PrintLine(kElevationHint);
}

void PrintProgress(const std::string& text) {
    if (VerboseMode) PrintLine(text);
}

// Reads one value into ValueBuffer and returns its text. The text is the bytes
// the read reported, cut at the first NUL among them. Values written by this
// tool do end in a NUL (RegSetValueExA stores the one that follows string data
// not ending in one), but another writer may store string data without one,
// and such data must not run on into what an earlier, longer value left in
// the shared buffer.
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

// The texts that tell a server read from a client read.
struct KeyReading {
    const char* keyPath;
    const char* problemReading;
    const char* readProgress;
};
const KeyReading kServerReading = {ServerKeyPath, kProblemReadingServer, kServerReadProgress};
const KeyReading kClientReading = {ClientKeyPath, kProblemReadingClient, kClientReadProgress};

// Reads `count` values of one key, in order, into `values`; 0, or -1 after a
// failure whose notice has been shown.
int ReadKeyValues(const KeyReading& reading, const char* const names[], int count,
                  SettingValue values[]) {
    RegistryKey key;
    key.SetAccess(ReadAccess | KeyView);
    if (!key.Open(reading.keyPath)) {
        ReportOpenFailure(reading.keyPath);
        ShowFatalNotice(kReadFailureNotice);
        return -1;
    }
    PrintProgress(std::string(kOpenProgress) + reading.keyPath);
    for (int index = 0; index < count; ++index) {
        SettingValue value;
        if (!ReadSetting(&key, names[index], &value)) {
            PrintLine(reading.problemReading + std::string(reading.keyPath) + " = " + names[index]);
            ShowFatalNotice(kReadFailureNotice);
            return -1;
        }
        values[index] = value;
        PrintProgress(reading.readProgress + std::string(reading.keyPath) + " = " + names[index] +
                      " = " + ShownValue(value));
    }
    return 0;
}

}  // namespace

// One key object per key, each closed before the next is opened, so at most
// one registry handle is open at any moment.
int ReadLdapSettings(SettingValue serverValues[3], const char* clientValueName,
                     SettingValue* clientValue) {
    if (ReadKeyValues(kServerReading, ServerValueNames, 3, serverValues) != 0) return -1;
    return ReadKeyValues(kClientReading, &clientValueName, 1, clientValue);
}

std::string ShownValue(const SettingValue& value) {
    std::string shown = UnattendedMode ? CutForUnattendedOutput(value.text) : value.text;
    return value.representable ? shown : shown + kNotRepresentable;
}

bool WriteLdapSetting(const char* keyPath, const char* valueName, const char* text,
                      DWORD byteCount) {
    RegistryKey key;
    key.SetAccess(KEY_ALL_ACCESS | KeyView);
    if (!key.Open(keyPath)) {
        ReportOpenFailure(keyPath);
        ShowFatalNotice(kWriteFailureNotice);
        return false;
    }
    PrintProgress(std::string(kOpenForWriteProgress) + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        PrintLine(std::string(kProblemWriting) + keyPath + " = " + valueName + " = " + text);
        ShowFatalNotice(kWriteFailureNotice);
        return false;
    }
    return true;
}

void ShowFatalNotice(int kind) {
    if ((kind != kReadFailureNotice && kind != kWriteFailureNotice) || UnattendedMode) return;
    PrintLine("");
    PrintLine(kind == kReadFailureNotice ? kReadNotice : kWriteNotice);
    PrintLine(kRecordNotice);
    PrintLine(kQuitNotice);
    WaitForEntry();
}
