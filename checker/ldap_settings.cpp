#include "ldap_settings.h"

#include <cstring>

#include "console.h"
#include "registry/registry_key.h"

const char* const ServerKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
const char* const ClientKeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";
const char* const ServerValueNames[3] = {"Enable Login Auth", "Enable CR Auth", "LdapSuffix"};
const char* const ClientValueName = "DNSuffix";

BYTE ValueBuffer[kValueBufferCapacity];
DWORD ValueBufferSize = kValueBufferCapacity;
bool VerboseMode = false;

namespace {
bool QueryTokenElevation();
}  // namespace

bool (*ProcessIsElevated)() = QueryTokenElevation;

namespace {

const char* const kCouldNotOpen = " ERROR - could not open ";
const char* const kProblemReadingServer = "ERROR - problem reading ";
const char* const kProblemReadingClient = "ERROR - problem reading  ";
const char* const kProblemWriting = "ERROR - problem writing ";
const char* const kOpenProgress = "Open--RegKey:-- ";
const char* const kOpenForWriteProgress = "Open for Write --RegKey:-- ";
const char* const kServerReadProgress = "Read--LDAP Key/Value  = ";
const char* const kClientReadProgress = "Read LDAP Key/Value  = ";

const char* const kReadNotice =
    "This program cannot read one or more of the four LDAP registry key/values it requires";
const char* const kWriteNotice =
    "This program cannot write to one of the four LDAP registry key/values it requires";
const char* const kRecordNotice =
    "Record information (i.e. screen capture) and contact your next level of support";
const char* const kQuitNotice = "Press Q to Quit";
const char* const kElevationHint =
    "Run Sorvane from an elevated command prompt (Run as administrator)";

bool QueryTokenElevation() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation,
                                        &size) &&
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
bool ReadText(RegistryKey* key, const char* valueName, std::string* text) {
    ValueBufferSize = kValueBufferCapacity;
    if (!key->ReadValue(valueName, ValueBuffer, &ValueBufferSize)) return false;
    DWORD count = ValueBufferSize < kValueBufferCapacity ? ValueBufferSize : kValueBufferCapacity;
    const char* bytes = reinterpret_cast<const char*>(ValueBuffer);
    text->assign(bytes, strnlen(bytes, count));
    return true;
}

int ReadServerValues(std::string serverValues[3]) {
    RegistryKey key;
    if (!key.Open(ServerKeyPath)) {
        ReportOpenFailure(ServerKeyPath);
        ShowFatalNotice(1);
        return -1;
    }
    PrintProgress(std::string(kOpenProgress) + ServerKeyPath);
    for (int index = 0; index < 3; ++index) {
        const char* name = ServerValueNames[index];
        std::string text;
        if (!ReadText(&key, name, &text)) {
            PrintLine(std::string(kProblemReadingServer) + ServerKeyPath + " = " + name);
            ShowFatalNotice(1);
            return -1;
        }
        serverValues[index] = text;
        PrintProgress(std::string(kServerReadProgress) + ServerKeyPath + " = " + name + " = " +
                      text);
    }
    return 0;
}

int ReadClientValue(const char* clientValueName, std::string* clientValue) {
    RegistryKey key;
    if (!key.Open(ClientKeyPath)) {
        ReportOpenFailure(ClientKeyPath);
        ShowFatalNotice(1);
        return -1;
    }
    PrintProgress(std::string(kOpenProgress) + ClientKeyPath);
    std::string text;
    if (!ReadText(&key, clientValueName, &text)) {
        PrintLine(std::string(kProblemReadingClient) + ClientKeyPath + " = " + clientValueName);
        ShowFatalNotice(1);
        return -1;
    }
    *clientValue = text;
    PrintProgress(std::string(kClientReadProgress) + ClientKeyPath + " = " + clientValueName +
                  " = " + text);
    return 0;
}

}  // namespace

// One key object per key, each closed before the next is opened, so at most
// one registry handle is open at any moment.
int ReadLdapSettings(std::string serverValues[3], const char* clientValueName,
                     std::string* clientValue) {
    if (ReadServerValues(serverValues) != 0) return -1;
    return ReadClientValue(clientValueName, clientValue);
}

bool WriteLdapSetting(const char* keyPath, const char* valueName, const char* text,
                      DWORD byteCount) {
    RegistryKey key;
    if (!key.Open(keyPath)) {
        ReportOpenFailure(keyPath);
        ShowFatalNotice(2);
        return false;
    }
    PrintProgress(std::string(kOpenForWriteProgress) + keyPath);
    if (!key.WriteString(valueName, reinterpret_cast<const BYTE*>(text), byteCount)) {
        PrintLine(std::string(kProblemWriting) + keyPath + " = " + valueName + " = " + text);
        ShowFatalNotice(2);
        return false;
    }
    return true;
}

void ShowFatalNotice(int kind) {
    if (kind != 1 && kind != 2) return;
    PrintLine("");
    PrintLine(kind == 1 ? kReadNotice : kWriteNotice);
    PrintLine(kRecordNotice);
    PrintLine(kQuitNotice);
    WaitForEntry();
}
