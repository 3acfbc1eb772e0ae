// Where the four LDAP settings live, and the tool's only registry routines.
// They tell what they do through the report they are handed, as Wine's reg
// hands down its view; what a failure means to the run is the run's to say.
#pragma once

#include <windows.h>

#include "host.h"
#include "registry_view.h"
#include "stored_value.h"

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

// What the store says: progress (in verbose mode) and error lines, and what
// the operator may do about an error. Says nothing unless told how.
class StoreReport {
  public:
    virtual ~StoreReport() = default;
    virtual void Line(const AnsiText&) {}
    virtual void Hint(const AnsiText&) {}
};

// False after a failure, told on `report`, leaving `values` as they were; a key
// missing in the view but there in the other sets `inOtherView`. A read again,
// after the first, has no progress lines.
bool ReadLdapSettings(const KeyAccess& access, StoreReport& report,
                      SettingValue values[kSettingCount], bool* inOtherView, bool progress = true);

// False after a failure, told on `report`.
bool WriteLdapSetting(const KeyAccess& access, StoreReport& report, SettingId setting,
                      const char* text, DWORD byteCount);
