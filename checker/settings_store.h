// Where the four LDAP settings live, and the tool's only registry routines.
// They print through the screen they are handed, as Wine's reg hands down its view.
#pragma once

#include <windows.h>

#include "host.h"
#include "registry_view.h"
#include "stored_value.h"

class Screen;

inline constexpr char ServerKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
inline constexpr char ClientKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";

// A plain enum: the ids index arrays.
enum SettingId { kLoginAuth, kCrAuth, kLdapSuffix, kDnSuffix, kSettingCount };

struct SettingPlace {
    const char* keyPath;
    const char* valueName;
};
inline constexpr SettingPlace kSettings[kSettingCount] = {
    {ServerKeyPath, "Enable Login Auth"},
    {ServerKeyPath, "Enable CR Auth"},
    {ServerKeyPath, "LdapSuffix"},
    {ClientKeyPath, "DNSuffix"},
};

// Every read lands in this one buffer; it is not cleared between reads.
const DWORD kValueBufferCapacity = 512;
extern BYTE ValueBuffer[kValueBufferCapacity];
extern DWORD ValueBufferSize;
extern bool VerboseMode;

const size_t kMaxValueLength = kValueBufferCapacity - 1;  // and the NUL the registry adds

// How the keys are opened. Every write asks for full access.
struct KeyAccess {
    RegistryView view;
    REGSAM reading = KEY_ALL_ACCESS;  // KEY_READ needs no elevation where the access lists allow
    bool (*processIsElevated)() = QueryTokenElevation;
};

// False after a failure, told on `screen`; a key missing in the view but there
// in the other sets `inOtherView`. A read again, after the first, has no
// progress lines.
bool ReadLdapSettings(const KeyAccess& access, Screen& screen, SettingValue values[kSettingCount],
                      bool* inOtherView, bool progress = true);

// False after a failure, told on `screen`.
bool WriteLdapSetting(const KeyAccess& access, Screen& screen, SettingId setting, const char* text,
                      DWORD byteCount);

enum class Notice { kReadFailure, kWriteFailure };

void ShowFatalNotice(Notice notice);  // and waits for an entry
