// Where the four LDAP settings live, and the tool's only registry routines.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RunContext;

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

// Its ANSI text, for the rules and the screen, and the value as stored: the "A"
// read converts with best fit ("Ｙｅｓ" reads as "Yes"), so the text alone may mislead.
struct SettingValue {
    std::string text;
    DWORD type = REG_NONE;
    std::vector<BYTE> stored;
    bool representable = true;  // `text` is the stored value, converted without loss
};

// Every read lands in this one buffer; it is not cleared between reads.
const DWORD kValueBufferCapacity = 512;
extern BYTE ValueBuffer[kValueBufferCapacity];
extern DWORD ValueBufferSize;
extern bool VerboseMode;

const size_t kMaxValueLength = kValueBufferCapacity - 1;  // and the NUL the registry adds

// The first read prints its progress; one after a told failure prints nothing.
enum class ReadReport { kWithProgress, kWithoutProgress, kSilent };

// False after a failure, whose notice the interactive run has shown; a key
// missing in the run's view but there in the other puts that view in `keysInOtherView`.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount],
                      REGSAM* keysInOtherView, ReadReport report = ReadReport::kWithProgress);

std::string ShownValue(const RunContext& context, const SettingValue& value);

// False after a failure, whose notice the interactive run has shown.
bool WriteLdapSetting(const RunContext& context, SettingId setting, const char* text,
                      DWORD byteCount);

enum class Notice { kReadFailure, kWriteFailure };

// Unattended runs show no notice and wait for no one.
void ShowFatalNotice(const RunContext& context, Notice notice);
