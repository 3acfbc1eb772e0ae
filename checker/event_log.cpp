#include "event_log.h"

#include <string>
#include <vector>

#include "audit_log.h"
#include "host.h"
#include "run_record.h"
#include "shown_text.h"
#include "sorvane_events.h"

namespace {

const wchar_t kEventSource[] = L"Sorvane";
const char kNoReason[] = "-";  // the reason id of a run that did not fail

struct Event {
    WORD type;
    DWORD id;
    std::vector<std::wstring> inserts;  // in the message's order: %1, %2...
};

// UTF-16 as the record holds it, control characters escaped as on every
// other channel, so no insert can break a line of the message.
std::wstring Insert(const Utf8Text& text) { return WideFromUtf8(Utf8OnOneLine(text)); }

// In the order the run made them: the backup, the writes, the result.
std::vector<Event> RunEvents(const RunRecord& run, const char* mode, RegistryView view) {
    const std::wstring shownView = WideFromUtf8(view.Bits() + std::string("-bit"));
    const std::wstring shownMode = WideFromUtf8(mode);
    const std::wstring user = UserName();
    std::vector<Event> events;
    if (!run.backupFile.empty()) {
        events.push_back({EVENTLOG_INFORMATION_TYPE,
                          SORVANE_EVENT_BACKUP_WRITTEN,
                          {Insert(Utf8FromWide(run.backupFile)), shownView, shownMode, user}});
    }
    bool wrote = false;
    for (const WriteRecord& write : run.writes) {
        if (!write.done && !write.refused) continue;  // planned, never tried
        wrote = true;
        const SettingPlace& place = kSettings[write.setting];
        events.push_back(
            {write.refused ? WORD(EVENTLOG_ERROR_TYPE) : WORD(EVENTLOG_INFORMATION_TYPE),
             write.refused ? SORVANE_EVENT_WRITE_REFUSED : SORVANE_EVENT_WRITE_MADE,
             {Insert(place.keyPath), Insert(place.valueName), Insert(write.oldText),
              Insert(write.newText), shownView, shownMode, user}});
    }
    const Outcome outcome = run.verdict.outcome;
    if (!wrote && run.backupFile.empty() && outcome != Outcome::kFailed) return events;
    const char* reasonId = run.Failed() ? ReasonIdName(run.failure.id) : kNoReason;
    const struct {
        WORD type;
        DWORD id;
    } kResults[] = {{EVENTLOG_INFORMATION_TYPE, SORVANE_EVENT_RUN_COMPLIANT},
                    {EVENTLOG_WARNING_TYPE, SORVANE_EVENT_RUN_NOT_COMPLIANT},
                    {EVENTLOG_ERROR_TYPE, SORVANE_EVENT_RUN_FAILED}};
    const auto& result = kResults[static_cast<int>(outcome)];
    events.push_back(
        {result.type,
         result.id,
         {Insert(run.verdict.resultLine), Insert(reasonId), shownView, shownMode, user}});
    return events;
}

std::string Number(DWORD value) { return std::to_string(static_cast<unsigned long>(value)); }

// The problem, empty when none.
Utf8Text Report(const std::vector<Event>& events, const EventLogCalls& calls) {
    if (events.empty()) return Utf8Text();
    const HANDLE log = calls.registerSource(nullptr, kEventSource);
    if (log == nullptr) {
        return "could not open the Application event log (error " + Number(GetLastError()) +
               "): this run's events are not in it";
    }
    size_t lost = 0;
    DWORD firstError = ERROR_SUCCESS;
    for (const Event& event : events) {
        std::vector<LPCWSTR> inserts;
        for (const std::wstring& insert : event.inserts) inserts.push_back(insert.c_str());
        if (!calls.report(log, event.type, 0, event.id, nullptr, static_cast<WORD>(inserts.size()),
                          0, inserts.data(), nullptr) &&
            lost++ == 0) {
            firstError = GetLastError();
        }
    }
    calls.deregister(log);
    if (lost == 0) return Utf8Text();
    return "the Application event log refused " + std::to_string(lost) + " of this run's " +
           std::to_string(events.size()) + " events (error " + Number(firstError) + ")";
}

}  // namespace

Utf8Text ReportRunEvents(const RunRecord& run, const char* mode, RegistryView view,
                         const std::wstring& logFile, const EventLogCalls& calls) {
    const Utf8Text problem = Report(RunEvents(run, mode, view), calls);
    if (!problem.empty() && !logFile.empty()) AppendLogLine(logFile, kEventLogPrefix + problem);
    return problem;
}
