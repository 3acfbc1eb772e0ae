// Where the four checked LDAP settings live, and the two routines that move
// them between the registry and the run.
#pragma once

#include <windows.h>

#include <string>

extern const char* const ServerKeyPath;
extern const char* const ClientKeyPath;
extern const char* const ServerValueNames[3];
extern const char* const ClientValueName;

// Every read lands in this one buffer; it is not cleared between reads.
const DWORD kValueBufferCapacity = 512;
extern BYTE ValueBuffer[kValueBufferCapacity];
extern DWORD ValueBufferSize;
extern bool VerboseMode;

// Whether the process token is elevated; replaceable, so tests can decide it.
extern bool (*ProcessIsElevated)();

// Reads the three server values (in ServerValueNames order) and the client
// value. Returns 0 when all four were read; -1 after a failure, whose notice
// has then been shown and acknowledged.
int ReadLdapSettings(std::string serverValues[3], const char* clientValueName,
                     std::string* clientValue);

// Stores exactly `byteCount` bytes of `text` as a REG_SZ value. False after a
// failure, whose notice has then been shown and acknowledged.
bool WriteLdapSetting(const char* keyPath, const char* valueName, const char* text,
                      DWORD byteCount);

// Kind 1: read failure notice; kind 2: write failure notice; any other kind
// does nothing. Waits for the operator after the notice.
void ShowFatalNotice(int kind);
