#include "json_report.h"

#include <cstdio>
#include <utility>

#include "host.h"
#include "shown_text.h"

namespace {

using Members = std::vector<std::pair<const char*, std::string>>;

std::string JsonObject(const Members& members) {
    std::vector<std::string> parts;
    for (const auto& member : members) {
        parts.push_back("\"" + std::string(member.first) + "\":" + member.second);
    }
    return "{" + Joined(parts, ",") + "}";
}

std::string JsonArray(const std::vector<std::string>& items) {
    return "[" + Joined(items, ",") + "]";
}

std::string JsonBool(bool value) { return value ? "true" : "false"; }
std::string Ansi(const std::string& text) { return JsonString(WideFromAnsi(text)); }
std::string Utf8(const std::string& text) { return JsonString(WideFromUtf8(text)); }

std::string Values(const RunRecord& run) {
    std::vector<std::string> values;
    bool passes[kSettingCount] = {};
    FindPasses(run.checks, passes);
    for (int id = 0; !run.checks.empty() && id < kSettingCount; ++id) {
        const SettingValue& value = run.values[id];
        values.push_back(JsonObject({{"key", Ansi(kSettings[id].keyPath)},
                                     {"name", Ansi(kSettings[id].valueName)},
                                     {"type", Ansi(TypeName(value.type))},
                                     {"text", JsonString(StoredText(value))},
                                     {"representable", JsonBool(value.representable)},
                                     {"passes", JsonBool(passes[id])}}));
    }
    return JsonArray(values);
}

std::string Writes(const RunRecord& run) {
    std::vector<std::string> writes;
    for (const WriteRecord& write : run.writes) {
        writes.push_back(JsonObject({{"key", Ansi(kSettings[write.setting].keyPath)},
                                     {"name", Ansi(kSettings[write.setting].valueName)},
                                     {"old", Utf8(write.oldText)},
                                     {"new", Utf8(write.newText)},
                                     {"done", JsonBool(write.done)}}));
    }
    return JsonArray(writes);
}

}  // namespace

std::string JsonReport(const RunRecord& run, const char* mode, RegistryView view) {
    std::vector<std::string> problems;
    for (const std::string& problem : run.problems) problems.push_back(Utf8(problem));
    const char* const kResults[] = {"compliant", "not compliant", "failed"};
    Members members = {{"tool", "\"Sorvane\""},
                       {"version", Ansi(SORVANE_VERSION)},
                       {"build", sizeof(void*) == 8 ? "\"64-bit\"" : "\"32-bit\""},
                       {"computer", JsonString(ComputerName())},
                       {"user", JsonString(UserName())},
                       {"mode", mode},
                       {"view", Ansi(view.Bits() + std::string("-bit"))},
                       {"values", Values(run)},
                       {"problems", JsonArray(problems)},
                       {"writes", Writes(run)},
                       {"backupFile", run.backupFile.empty() ? "null" : JsonString(run.backupFile)},
                       {"changesMade", std::to_string(run.changeCount)},
                       {"result", Ansi(kResults[static_cast<int>(run.verdict.outcome)])}};
    if (!run.failure.empty()) members.push_back({"reason", Utf8(run.failure)});
    members.push_back({"exitCode", std::to_string(run.verdict.exitCode)});
    return JsonObject(members);
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out + "\"";
}
