#include "run.h"

#include <algorithm>

#include "audit_log.h"
#include "registry_backup.h"
#include "shown_text.h"

namespace {

const char kReadFailed[] = "could not read the settings";

struct Run {
    const FrontEnd& frontEnd;
    RunRecord& record;
    std::wstring logFile;  // nothing more goes to a log that failed a line
    bool readForWrites = false;

    bool Has(Policy policy) const { return (frontEnd.policies & policy) != 0; }
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
    record.checks = CheckRules(record.values);
    record.problems.clear();
    for (const RuleCheck& check : record.checks) {
        if (check.holds) continue;
        const bool two = check.rule == Rule::kTwo;
        record.problems.push_back(check.problem + (two ? run->frontEnd.unmendedSuffix : ""));
    }
}

bool Fail(Run* run, const Utf8Text& failure) {
    run->record.failure = failure;
    run->frontEnd.screen.Failed(failure);
    return false;
}

// A line the log cannot take fails the run.
bool Log(Run* run, const Utf8Text& line) {
    if (run->logFile.empty() || AppendLogLine(run->logFile, line)) return true;
    const Utf8Text failure = "could not write the log " + ShownName(run->logFile);
    run->logFile.clear();
    return Fail(run, failure + AlreadyWritten(run->record));
}

// Just before the first write: what the operator settled meanwhile may have
// changed, and the records hold what the writes replace.
bool ReadForWrites(Run* run) {
    SettingValue values[kSettingCount];
    bool inOtherView = false;
    run->readForWrites = true;
    const FrontEnd& frontEnd = run->frontEnd;
    if (!ReadLdapSettings(frontEnd.access, frontEnd.screen, values, &inOtherView, false)) {
        run->record.failure = kReadFailed + AlreadyWritten(run->record);
        return false;
    }
    std::copy(values, values + kSettingCount, run->record.values);
    Evaluate(run);
    return true;
}

bool BackUp(Run* run) {
    const FrontEnd& frontEnd = run->frontEnd;
    RunRecord& record = run->record;
    if (frontEnd.backupFile.empty() || !record.backupFile.empty()) return true;
    std::vector<StoredSetting> settings;
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingValue& value = record.values[id];
        settings.push_back(
            {kSettings[id].keyPath, kSettings[id].valueName, value.type, value.stored});
    }
    if (!WriteBackupFile(frontEnd.backupFile, settings, frontEnd.access.view, &record.backupFile)) {
        return Fail(run, "could not write the backup " + ShownName(frontEnd.backupFile) +
                             ", nothing was changed");
    }
    const Utf8Text saved =
        "BACKUP - the values before the writes are saved in " + ShownName(record.backupFile);
    frontEnd.screen.Line(ScreenText(saved));
    return Log(run, saved);
}

bool Write(Run* run, const PlannedWrite& write) {
    const FrontEnd& frontEnd = run->frontEnd;
    RunRecord& record = run->record;
    const SettingValue& old = record.values[write.setting];
    record.writes.push_back(
        {write.setting, Utf8FromStored(old.type, old.stored), Utf8FromAnsi(write.text), false});
    if (!run->Has(kWrites)) return true;
    const SettingPlace& place = kSettings[write.setting];
    // Logged before it is made: a write the log cannot tell of is not made.
    const Utf8Text logged = std::string(place.keyPath) + " = " + place.valueName + " : " +
                            LogQuoted(record.writes.back().oldText) + " -> " +
                            LogQuoted(record.writes.back().newText);
    if (!Log(run, "WRITE " + logged)) return false;
    // The registry stores a NUL after string data that does not end in one.
    const DWORD size = static_cast<DWORD>(write.text.size());
    if (!WriteLdapSetting(frontEnd.access, frontEnd.screen, write.setting, write.text.c_str(),
                          size)) {
        if (!run->logFile.empty()) AppendLogLine(run->logFile, "REFUSED " + logged);
        record.failure = std::string("could not write ") + place.keyPath + " = " + place.valueName +
                         AlreadyWritten(record);
        return false;
    }
    ++record.changeCount;
    record.writes.back().done = true;
    return true;
}

// The writes that mend check `only` (-1: every check), planned on the values
// read last, made once the backup is.
bool MakeWrites(Run* run, int only, const AnsiText& suffix) {
    RunRecord& record = run->record;
    const auto plan = [&] {
        std::vector<RuleCheck> checks = record.checks;
        if (only >= 0) checks = {checks[only]};
        return PlanWrites(checks, record.values, suffix, run->frontEnd.policies);
    };
    std::vector<PlannedWrite> writes = plan();
    if (!writes.empty() && run->Has(kWrites) && run->Has(kKeepsRecords) && !run->readForWrites) {
        if (!ReadForWrites(run)) return false;
        writes = plan();
    }
    if (writes.empty()) return true;
    if (run->Has(kWrites) && !BackUp(run)) return false;
    for (size_t i = 0; i < writes.size(); ++i) {
        run->frontEnd.screen.Writing(writes[i], i == 0);
        if (!Write(run, writes[i])) return false;
    }
    return true;
}

// After the writes the record holds what the registry holds then, also when
// the run failed part way (that read then says nothing: the failure is told).
void ReadBack(Run* run) {
    RunRecord& record = run->record;
    const bool failed = !record.failure.empty();
    Screen silent;
    bool inOtherView = false;
    Screen& screen = failed ? silent : run->frontEnd.screen;
    if (ReadLdapSettings(run->frontEnd.access, screen, record.values, &inOtherView, false)) {
        Evaluate(run);
        return;
    }
    record.checks.clear();
    record.problems.clear();
    if (!failed)
        record.failure = kReadFailed + (" back after writing them" + AlreadyWritten(record));
}

void Checks(Run* run) {
    const FrontEnd& frontEnd = run->frontEnd;
    RunRecord& record = run->record;
    Evaluate(run);
    for (size_t i = 0; i < record.checks.size() && record.failure.empty(); ++i) {
        const RuleCheck check = record.checks[i];  // a read before the writes makes them again
        frontEnd.screen.Check(check, record.values);
        if (!run->Has(kMends) || !run->Has(kWritesPerCheck)) continue;
        AnsiText suffix = frontEnd.suffix;
        const bool asks = check.rule == Rule::kTwo && !check.holds && suffix.empty();
        if (!asks || frontEnd.screen.AskForSuffix(&suffix))
            MakeWrites(run, static_cast<int>(i), suffix);
    }
    if (run->Has(kMends) && !run->Has(kWritesPerCheck) && record.failure.empty()) {
        MakeWrites(run, -1, frontEnd.suffix);
    }
    if (record.changeCount > 0 && run->Has(kKeepsRecords)) ReadBack(run);
}

}  // namespace

std::vector<PlannedWrite> PlanWrites(const std::vector<RuleCheck>& checks,
                                     const SettingValue values[kSettingCount],
                                     const AnsiText& suffix, unsigned policies) {
    std::vector<PlannedWrite> plan;
    for (const RuleCheck& check : checks) {
        const bool two = check.rule == Rule::kTwo;
        const AnsiText text = two ? suffix : kExpectedValue;
        if (text.empty() || (check.holds && !(two && (policies & kSuffixIsDesired) != 0))) continue;
        for (SettingId setting : check.settings) {
            if ((policies & kRewritesHeldValues) != 0 || !HoldsText(values[setting], text)) {
                plan.push_back({setting, check.rule, text});
            }
        }
    }
    return plan;
}

void CheckAndRepair(const FrontEnd& frontEnd, RunRecord* record) {
    Run run{frontEnd, *record, frontEnd.logFile};
    VerboseMode = frontEnd.verbose;
    bool inOtherView = false;
    if (!frontEnd.screen.Starts(&record->failure)) {
    } else if (!ReadLdapSettings(frontEnd.access, frontEnd.screen, record->values, &inOtherView)) {
        const std::string bits = frontEnd.access.view.Other().Bits();
        const std::string named = frontEnd.viewNamed[0] + bits + frontEnd.viewNamed[1];
        const std::string where = "; the keys are in the " + bits + "-bit registry view " + named;
        record->failure = kReadFailed + (inOtherView ? where : "");
    } else {
        Checks(&run);
        if (record->failure.empty()) frontEnd.screen.Finished(*record);
    }
    // A run whose end the log cannot tell of has failed, whatever it did. A
    // check's line says it was one: it changed nothing.
    Judge(frontEnd.policies, record);
    const char* check = run.Has(kMends) ? "" : "CHECK ";
    if (!Log(&run, check + record->verdict.resultLine)) Judge(frontEnd.policies, record);
}

void Judge(unsigned policies, RunRecord* run) {
    Verdict& verdict = run->verdict;
    const std::string changes = std::to_string(run->changeCount) + " changes made";
    const bool counts = (policies & kWrites) != 0;
    if (!run->failure.empty()) {
        verdict = {Outcome::kFailed, 1, kResultFailed + run->failure};
    } else if (run->problems.empty()) {
        verdict = {Outcome::kCompliant, 0, "RESULT: compliant" + (counts ? ", " + changes : "")};
    } else {
        const bool counted = counts && run->changeCount > 0;
        verdict = {Outcome::kNotCompliant, (policies & kExits2WhenNotCompliant) != 0 ? 2 : 0,
                   "RESULT: not compliant" + (counted ? ", " + changes : "") + " - " +
                       Joined(run->problems, "; ")};
    }
}
