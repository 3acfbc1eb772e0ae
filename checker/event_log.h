// The Application event log, source "Sorvane": a second record, which fleets
// collect, of every run that changed the LDAP settings or was to and could
// not. Each write made, the write the registry refused, the backup written and
// the run's result, reported from the run's record once its verdict is judged.
// The texts are the exe's own message table (resources/sorvane_events.mc); an
// event carries only its inserts. A run that writes nothing and does not fail
// reports nothing: monitoring runs every hour on every server.
#pragma once

#include <windows.h>

#include <string>

#include "registry_view.h"
#include "text_encoding.h"

struct RunRecord;

// Said before the problem, wherever a front end tells of it.
inline constexpr char kEventLogPrefix[] = "EVENT LOG - ";

// The three advapi32 calls the reports make. A test hands its own in the run's
// context to fail them as Windows may (no right to the source, a log that does
// not take events); Wine's always succeed.
struct EventLogCalls {
    HANDLE(WINAPI* registerSource)(LPCWSTR, LPCWSTR) = RegisterEventSourceW;
    BOOL(WINAPI* report)
    (HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID) = ReportEventW;
    BOOL(WINAPI* deregister)(HANDLE) = DeregisterEventSource;
};

// Reports the events of `run`, judged, made in `mode` ("repair", "dialogue",
// "dsc set": a front end calls it only for the runs that may write, refused
// ones too) in `view`. Returns what kept them from the event log, in one
// sentence, empty when it took them all (or there were none), and appends it
// to `logFile` unless that is empty: the run's verdict, exit code and RESULT
// line stand either way, and the front end tells the problem once.
Utf8Text ReportRunEvents(const RunRecord& run, const char* mode, RegistryView view,
                         const std::wstring& logFile, const EventLogCalls& calls);
