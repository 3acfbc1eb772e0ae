#include "event_log.h"

#include <string>
#include <vector>

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

// The write the registry refused: the run ends on it, not done, with a failure.
bool Refused(const RunRecord& run, const WriteRecord& write) {
    const SettingPlace& place = kSettings[write.setting];
    const std::string refusal =
        std::string("could not write ") + place.keyPath + " = " + place.valueName;
    return !write.done && run.failure.compare(0, refusal.size(), refusal) == 0;
}

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
        const bool refused = Refused(run, write);
        if (!write.done && !refused) continue;  // planned, never tried
        wrote = true;
        const SettingPlace& place = kSettings[write.setting];
        events.push_back({refused ? WORD(EVENTLOG_ERROR_TYPE) : WORD(EVENTLOG_INFORMATION_TYPE),
                          refused ? SORVANE_EVENT_WRITE_REFUSED : SORVANE_EVENT_WRITE_MADE,
                          {Insert(place.keyPath), Insert(place.valueName), Insert(write.oldText),
                           Insert(write.newText), shownView, shownMode, user}});
    }
    const Outcome outcome = run.verdict.outcome;
    if (!wrote && run.backupFile.empty() && outcome != Outcome::kFailed) return events;
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
         {Insert(run.verdict.resultLine), Insert(kNoReason), shownView, shownMode, user}});
    return events;
}

std::string Number(DWORD value) { return std::to_string(static_cast<unsigned long>(value)); }

}  // namespace

Utf8Text ReportRunEvents(const RunRecord& run, const char* mode, RegistryView view,
                         const EventLogCalls& calls) {
    const std::vector<Event> events = RunEvents(run, mode, view);
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
