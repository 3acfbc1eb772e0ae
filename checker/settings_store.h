// Where the four checked LDAP settings live, and the routines that move them
// between the registry and the run: the only users of the registry in the tool.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RunContext;

inline constexpr char ServerKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
inline constexpr char ClientKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient";

// The four values, in the order they are read: three under the server key,
// then one under the client key. A plain enum: the ids index the arrays below.
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

// One setting as read: its text in the ANSI code page, which the rules and the
// screen use, and the value exactly as the registry stores it. The "A" read
// converts stored Unicode with best-fit mapping (full-width "Ｙｅｓ" reads as
// "Yes"), so the text alone may not tell the stored value apart from another.
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

// Longest value that a later read can take back: the registry stores a NUL
// after the text, and the two must fit the read buffer.
const size_t kMaxValueLength = kValueBufferCapacity - 1;

// What a read prints: the first read of a run its verbose progress lines and
// any failure; a read again before or after the writes its failure only; a
// read after a failure that has been told, nothing.
enum class ReadReport { kWithProgress, kWithoutProgress, kSilent };

// Reads the four values, in SettingId order, into `values`. False after a
// failure, whose notice the interactive run has then shown and the operator
// acknowledged; when a key is missing in the run's view and there in the
// other one, that view (KEY_WOW64_64KEY or KEY_WOW64_32KEY) is put in
// `keysInOtherView`, which is otherwise left alone.
bool ReadLdapSettings(const RunContext& context, SettingValue values[kSettingCount],
                      REGSAM* keysInOtherView, ReadReport report = ReadReport::kWithProgress);

// A value as the screen shows it: on one line, cut to 100 characters in
// unattended output, and marked when it is not the stored value.
std::string ShownValue(const RunContext& context, const SettingValue& value);

// Stores exactly `byteCount` bytes of `text` as the REG_SZ value `setting`.
// False after a failure, whose notice the interactive run has then shown and
// the operator acknowledged.
bool WriteLdapSetting(const RunContext& context, SettingId setting, const char* text,
                      DWORD byteCount);

enum class Notice { kReadFailure, kWriteFailure };

// Shows the notice and waits for the operator. Unattended runs show no
// notice: nobody is there to read it.
void ShowFatalNotice(const RunContext& context, Notice notice);
