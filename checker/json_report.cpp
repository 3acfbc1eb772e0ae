#include "json_report.h"

#include "host.h"
#include "shown_text.h"

namespace {

// A lone surrogate has no UTF-8 form: it reads as U+FFFD.
Json Wide(const std::wstring& text) { return Utf8FromWide(text); }
Json Ansi(const std::string& text) { return Utf8FromAnsi(text); }

Json Values(const RunRecord& run) {
    Json values = Json::array();
    bool passes[kSettingCount] = {};
    FindPasses(run.checks, passes);
    for (int id = 0; !run.checks.empty() && id < kSettingCount; ++id) {
        const SettingValue& value = run.values[id];
        values.push_back({{"key", Ansi(kSettings[id].keyPath)},
                          {"name", Ansi(kSettings[id].valueName)},
                          {"type", TypeName(value.type)},
                          {"text", Wide(StoredText(value))},
                          {"representable", value.representable},
                          {"passes", passes[id]}});
    }
    return values;
}

Json Writes(const RunRecord& run) {
    Json writes = Json::array();
    for (const WriteRecord& write : run.writes) {
        writes.push_back({{"key", Ansi(kSettings[write.setting].keyPath)},
                          {"name", Ansi(kSettings[write.setting].valueName)},
                          {"old", write.oldText},
                          {"new", write.newText},
                          {"done", write.done}});
    }
    return writes;
}

}  // namespace

std::string JsonLine(const Json& value) {
    std::string line = value.dump(-1, ' ', true, Json::error_handler_t::replace);
    // Outside its strings a document has no DEL, so each one is in a string.
    std::string escaped;
    for (char c : line) escaped += c == '\x7F' ? std::string("\\u007f") : std::string(1, c);
    return escaped;
}

std::string JsonReport(const RunRecord& run, const Json& mode, RegistryView view) {
    const char* const kResults[] = {"compliant", "not compliant", "failed"};
    Json document = {{"tool", "Sorvane"},
                     {"version", SORVANE_VERSION},
                     {"build", sizeof(void*) == 8 ? "64-bit" : "32-bit"},
                     {"computer", Wide(ComputerName())},
                     {"user", Wide(UserName())},
                     {"mode", mode},
                     {"view", view.Bits() + std::string("-bit")},
                     {"values", Values(run)},
                     {"problems", run.problems},
                     {"writes", Writes(run)},
                     {"backupFile", run.backupFile.empty() ? Json() : Wide(run.backupFile)},
                     {"changesMade", run.changeCount},
                     {"result", kResults[static_cast<int>(run.verdict.outcome)]}};
    if (run.Failed()) document["reason"] = run.failure.reason;
    const char* reasonId = ReasonIdName(run.failure.id);
    document["reasonId"] = reasonId != nullptr ? Json(reasonId) : Json();
    document["exitCode"] = run.verdict.exitCode;
    return JsonLine(document);
}
