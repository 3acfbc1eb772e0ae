// Where the four checked LDAP settings live, and the two routines that move
// them between the registry and the run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

extern const char* const ServerKeyPath;
extern const char* const ClientKeyPath;
extern const char* const ServerValueNames[3];
extern const char* const ClientValueName;

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

// Unattended runs: no notice, no wait for the operator, long values shortened.
extern bool UnattendedMode;

// The registry view every key is opened in: 0 for the process's own, or
// KEY_WOW64_32KEY or KEY_WOW64_64KEY.
extern REGSAM KeyView;
// The access the reads ask for: full access in the interactive run, as every
// open there does; read-only in unattended runs, which then need no more
// rights than reading where they only read. Writes always ask for full access.
extern REGSAM ReadAccess;

// Whether the process token is elevated; replaceable, so tests can decide it.
extern bool (*ProcessIsElevated)();

// Reads the three server values (in ServerValueNames order) and the client
// value. Returns 0 when all four were read; -1 after a failure, whose notice
// has then been shown and acknowledged.
int ReadLdapSettings(SettingValue serverValues[3], const char* clientValueName,
                     SettingValue* clientValue);

// A value as the screen shows it: its text, cut to 100 characters in
// unattended output, and marked when it is not the stored value.
std::string ShownValue(const SettingValue& value);

// Stores exactly `byteCount` bytes of `text` as a REG_SZ value. False after a
// failure, whose notice has then been shown and acknowledged.
bool WriteLdapSetting(const char* keyPath, const char* valueName, const char* text,
                      DWORD byteCount);

// The two kinds of notice. Any other kind does nothing.
const int kReadFailureNotice = 1;
const int kWriteFailureNotice = 2;

// Shows the notice of `kind`. Waits for the operator after the notice. Unattended runs show
// no notice: nobody is there to read it.
void ShowFatalNotice(int kind);
