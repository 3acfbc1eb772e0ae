// Where the four LDAP settings live, and the routines that move them between
// the registry and the run: the only users of the registry in the tool.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RunContext;

inline constexpr char ServerKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
inline constexpr char ClientKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";

// In the order they are read. A plain enum: the ids index arrays.
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

// One setting as read: its text in the ANSI code page, for the rules and the
// screen, and the value as stored. The "A" read converts with best fit
// ("Ｙｅｓ" reads as "Yes"), so the text alone may not tell values apart.
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

// The registry stores a NUL after the text, and both must fit the read buffer.
const size_t kMaxValueLength = kValueBufferCapacity - 1;

// What a read prints: the first its progress and any failure, one before or
// after the writes its failure only, one after a told failure nothing.
enum class ReadReport { kWithProgress, kWithoutProgress, kSilent };

// False after a failure, whose notice the interactive run has shown; a key
// missing in the run's view but there in the other puts that view in `keysInOtherView`.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount],
                      REGSAM* keysInOtherView, ReadReport report = ReadReport::kWithProgress);

// On one line, cut in unattended output, marked where it is not the stored
// value, and with its type where that is not REG_SZ.
std::string ShownValue(const RunContext& context, const SettingValue& value);

// Stores `byteCount` bytes of `text` as REG_SZ. False after a failure, whose
// notice the interactive run has shown.
bool WriteLdapSetting(const RunContext& context, SettingId setting, const char* text,
                      DWORD byteCount);

enum class Notice { kReadFailure, kWriteFailure };

// Shows the notice and waits for the operator; unattended runs show none.
void ShowFatalNotice(const RunContext& context, Notice notice);
