#include "run.h"

#include <algorithm>

#include "audit_log.h"
#include "registry_backup.h"
#include "shown_text.h"

namespace {

const char kReadFailed[] = "could not read the settings";
const char kBackupSaved[] = "BACKUP - the values before the writes are saved in ";
const char kBackupUpdated[] = "BACKUP - updated with the values the writes replace, in ";

struct Run {
    Run(const RunRequest& request, RunRecord& record)
        : request(request), record(record), logFile(request.logFile) {}

    const RunRequest& request;
    RunRecord& record;
    std::wstring logFile;  // nothing more goes to a log that failed a line
    // The operator answered since the last read: the values are read again
    // before the next write.
    bool readsBeforeWriting = false;
    SettingValue backedUp[kSettingCount];  // what the backup holds, once written
    bool written[kSettingCount] = {};      // by this run

    bool Has(Policy policy) const { return (request.policies & policy) != 0; }
};

std::string AlreadyWritten(const RunRecord& run) {
    std::vector<std::string> names;
    for (const WriteRecord& write : run.writes) {
        if (write.done) names.push_back(kSettings[write.setting].valueName);
    }
    return names.empty() ? std::string() : "; already written: " + Joined(names, ", ");
}

void Evaluate(Run* run) {
    RunRecord& record = run->record;
    const bool desired = run->Has(kSuffixIsDesired);
    record.checks = CheckRules(record.values, desired ? &run->request.desiredSuffix : nullptr);
    record.problems.clear();
    for (const RuleCheck& check : record.checks) {
        if (check.holds) continue;
        const bool two = check.rule == Rule::kTwo;
        record.problems.push_back(check.problem + (two ? run->request.unmendedSuffix : ""));
    }
}

// The run's one way to fail: the screen is told once, as it happens. What was
// written before is named, so no failure reads as if nothing changed.
bool Fail(Run* run, ReasonId id, const Utf8Text& reason) {
    RunRecord& record = run->record;
    if (record.Failed()) return false;
    record.failure = {id, reason + AlreadyWritten(record)};
    run->request.screen.Failed(record);
    return false;
}

// A line the log cannot take fails the run.
bool Log(Run* run, const Utf8Text& line) {
    if (run->logFile.empty() || AppendLogLine(run->logFile, line)) return true;
    const Utf8Text failure = "could not write the log " + ScreenName(run->logFile);
    run->logFile.clear();
    return Fail(run, ReasonId::kLogNotWritten, failure);
}

// The record's values, all of one read; none while a read fails.
bool Read(Run* run, StoreReport& report, bool progress, const Utf8Text& failure) {
    RunRecord& record = run->record;
    bool inOtherView = false;
    if (ReadLdapSettings(run->request.access, report, record.values, &inOtherView, progress)) {
        Evaluate(run);
        run->readsBeforeWriting = false;
        return true;
    }
    std::fill(record.values, record.values + kSettingCount, SettingValue());
    record.checks.clear();
    record.problems.clear();
    std::string where;
    if (inOtherView) {
        const RunRequest& request = run->request;
        const std::string bits = request.access.view.Other().Bits();
        const std::string named = request.viewNamed[0] + bits + request.viewNamed[1];
        where = "; the keys are in the " + bits + "-bit registry view " + named;
    }
    return Fail(run, ReasonId::kKeysUnreadable, failure + where);
}

std::vector<StoredSetting> BackupSettings(const SettingValue values[kSettingCount]) {
    std::vector<StoredSetting> settings;
    for (int id = 0; id < kSettingCount; ++id) {
        settings.push_back(
            {kSettings[id].keyPath, kSettings[id].valueName, values[id].type, values[id].stored});
    }
    return settings;
}

bool SameStored(const SettingValue& first, const SettingValue& second) {
    return first.type == second.type && first.stored == second.stored;
}

// Before the first write, the four values as read; later, a value about to be
// written for the first time that another writer changed since is put in it,
// and the run's own backup is written again, whole. Never otherwise.
bool BackUp(Run* run, const std::vector<PlannedWrite>& writes) {
    const RunRequest& request = run->request;
    RunRecord& record = run->record;
    if (request.backupFile.empty()) return true;
    const char* saved = kBackupSaved;
    if (record.backupFile.empty()) {
        std::copy(record.values, record.values + kSettingCount, run->backedUp);
        if (!WriteBackupFile(request.backupFile, BackupSettings(run->backedUp), request.access.view,
                             &record.backupFile)) {
            return Fail(run, ReasonId::kBackupNotWritten,
                        "could not write the backup " + ScreenName(request.backupFile) +
                            (AlreadyWritten(record).empty() ? ", nothing was changed" : ""));
        }
    } else {
        bool changed = false;
        for (const PlannedWrite& write : writes) {
            const SettingId id = write.setting;
            if (run->written[id] || SameStored(run->backedUp[id], record.values[id])) continue;
            run->backedUp[id] = record.values[id];
            changed = true;
        }
        if (!changed) return true;
        if (!RewriteBackupFile(record.backupFile, BackupSettings(run->backedUp),
                               request.access.view)) {
            return Fail(run, ReasonId::kBackupNotWritten,
                        "could not write the backup " + ScreenName(record.backupFile) + " again");
        }
        saved = kBackupUpdated;
    }
    request.screen.Line(ScreenText(saved + ScreenName(record.backupFile)));
    return Log(run, saved + ShownName(record.backupFile));
}

bool Write(Run* run, const PlannedWrite& write, bool firstOfCheck) {
    const RunRequest& request = run->request;
    RunRecord& record = run->record;
    const SettingValue& old = record.values[write.setting];
    record.writes.push_back({write.setting, Utf8FromStored(old.type, old.stored),
                             Utf8FromAnsi(write.text), false, false});
    if (!run->Has(kWrites)) {
        request.screen.Writing(write, firstOfCheck);  // as it would be made
        return true;
    }
    const SettingPlace& place = kSettings[write.setting];
    // Logged before it is made: a write the log cannot tell of is not made,
    // and not shown as made.
    const Utf8Text logged = std::string(place.keyPath) + " = " + place.valueName + " : " +
                            Quoted(record.writes.back().oldText) + " -> " +
                            Quoted(record.writes.back().newText);
    if (!Log(run, "WRITE " + logged)) return false;
    request.screen.Writing(write, firstOfCheck);
    // The registry stores a NUL after string data that does not end in one.
    const DWORD size = static_cast<DWORD>(write.text.size());
    if (!WriteLdapSetting(request.access, request.screen, write.setting, write.text.c_str(),
                          size)) {
        if (!run->logFile.empty()) AppendLogLine(run->logFile, "REFUSED " + logged);
        record.writes.back().refused = true;
        return Fail(run, ReasonId::kNotWritable,
                    std::string("could not write ") + place.keyPath + " = " + place.valueName);
    }
    ++record.changeCount;
    record.writes.back().done = true;
    run->written[write.setting] = true;
    // Without records nothing is read again: the value now held is the one written.
    if (!run->Has(kKeepsRecords)) record.values[write.setting] = WrittenValue(write.text);
    return true;
}

// The writes that mend check `only` (-1: every check), planned on a read made
// after the operator's last answer, made once the backup is.
bool MakeWrites(Run* run, int only, const AnsiText& suffix) {
    RunRecord& record = run->record;
    std::vector<RuleCheck> checks;
    const auto plan = [&] {
        checks = record.checks;
        if (only >= 0) checks = {checks[only]};
        return PlanWrites(checks, record.values, suffix, run->request.policies);
    };
    std::vector<PlannedWrite> writes = plan();
    if (!writes.empty() && run->Has(kWrites) && run->Has(kKeepsRecords) &&
        run->readsBeforeWriting) {
        if (!Read(run, run->request.screen, false, kReadFailed)) return false;
        writes = plan();
    }
    // A suffix the tool would never write is refused where it must be written.
    const Utf8Text& refusal = run->request.suffixRefusal;
    for (const RuleCheck& check : checks) {
        if (check.rule == Rule::kTwo && !check.holds && !refusal.empty()) {
            return Fail(run, ReasonId::kUsageError, refusal);
        }
    }
    if (writes.empty()) return true;
    if (run->Has(kWrites) && !BackUp(run, writes)) return false;
    for (size_t i = 0; i < writes.size(); ++i) {
        if (!Write(run, writes[i], i == 0 || writes[i].rule != writes[i - 1].rule)) return false;
    }
    return true;
}

void Checks(Run* run) {
    const RunRequest& request = run->request;
    RunRecord& record = run->record;
    for (size_t i = 0; i < record.checks.size() && !record.Failed(); ++i) {
        const RuleCheck check = record.checks[i];  // a read before the writes makes them again
        request.screen.Check(check, record.values);
        if (!run->Has(kMends) || !run->Has(kWritesPerCheck)) continue;
        AnsiText suffix = request.suffix;
        const bool asks = check.rule == Rule::kTwo && !check.holds && suffix.empty();
        if (!asks) {
            MakeWrites(run, static_cast<int>(i), suffix);
        } else if (request.screen.AskForSuffix(&suffix)) {
            run->readsBeforeWriting = true;
            MakeWrites(run, static_cast<int>(i), suffix);
        }
    }
    if (run->Has(kMends) && !run->Has(kWritesPerCheck) && !record.Failed()) {
        MakeWrites(run, -1, request.suffix);
    }
    if (record.changeCount == 0) return;
    // After the writes the record holds what the registry holds then, also
    // when the run failed part way (that read then says nothing: the failure is told).
    if (run->Has(kKeepsRecords)) {
        Screen silent;
        StoreReport& report = record.Failed() ? silent : request.screen;
        Read(run, report, false, kReadFailed + std::string(" back after writing them"));
    } else {
        Evaluate(run);
    }
}

}  // namespace

const char* ReasonIdName(ReasonId id) {
    const char* const kNames[] = {nullptr,          "usageError",  "anotherCopyRunning",
                                  "keysUnreadable", "notWritable", "backupNotWritten",
                                  "logNotWritten",  "noInput"};
    return kNames[static_cast<int>(id)];
}

std::vector<PlannedWrite> PlanWrites(const std::vector<RuleCheck>& checks,
                                     const SettingValue values[kSettingCount],
                                     const AnsiText& suffix, unsigned policies) {
    std::vector<PlannedWrite> plan;
    for (const RuleCheck& check : checks) {
        const AnsiText text = check.rule == Rule::kTwo ? suffix : kExpectedValue;
        if (text.empty() || check.holds) continue;
        for (SettingId setting : check.settings) {
            if ((policies & kRewritesHeldValues) != 0 || !HoldsText(values[setting], text)) {
                plan.push_back({setting, check.rule, text});
            }
        }
    }
    return plan;
}

void CheckAndRepair(const RunRequest& request, RunRecord* record) {
    Run run(request, *record);
    Failure notStarted;
    if (!request.screen.Starts(&notStarted)) {
        record->failure = notStarted;
    } else if (Read(&run, request.screen, true, kReadFailed)) {
        Checks(&run);
        if (!record->Failed()) request.screen.Finished(*record);
    }
    // Judged once, after the last read or write. A run whose end the log
    // cannot tell of has failed, whatever it did: that failure is the one
    // fact that comes after the verdict, and the verdict is judged on it. A
    // check's line says it was one: it changed nothing.
    Judge(request.policies, record);
    const char* check = run.Has(kMends) ? "" : "CHECK ";
    if (!Log(&run, check + record->verdict.resultLine)) Judge(request.policies, record);
}

void Judge(unsigned policies, RunRecord* run) {
    Verdict& verdict = run->verdict;
    const std::string changes = std::to_string(run->changeCount) + " changes made";
    const bool counts = (policies & kWrites) != 0;
    if (run->Failed()) {
        verdict = {Outcome::kFailed, 1, kResultFailed + run->failure.reason};
    } else if (run->problems.empty()) {
        verdict = {Outcome::kCompliant, 0, "RESULT: compliant" + (counts ? ", " + changes : "")};
    } else {
        const bool counted = counts && run->changeCount > 0;
        verdict = {Outcome::kNotCompliant, (policies & kExits2WhenNotCompliant) != 0 ? 2 : 0,
                   "RESULT: not compliant" + (counted ? ", " + changes : "") + " - " +
                       Joined(run->problems, "; ")};
    }
}

RunRecord AsPlannedWritesLeaveIt(const RunRequest& request, const RunRecord& run) {
    RunRecord left = run;
    for (const WriteRecord& write : run.writes) {
        if (!write.done) {
            left.values[write.setting] = WrittenValue(AnsiForScreen(WideFromUtf8(write.newText)));
        }
    }
    Run projection(request, left);
    Evaluate(&projection);
    return left;
}

SettingValue WrittenValue(const AnsiText& text) {
    const std::wstring wide = WideFromAnsi(text);
    SettingValue value;
    value.text = text;
    value.type = REG_SZ;
    for (wchar_t c : wide + L'\0') {
        value.stored.push_back(static_cast<BYTE>(c & 0xFF));
        value.stored.push_back(static_cast<BYTE>(c >> 8));
    }
    return value;
}
