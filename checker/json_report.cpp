#include "json_report.h"

#include <cstdio>
#include <vector>

#include "run_record.h"
#include "text_encoding.h"

#ifndef SORVANE_VERSION
#define SORVANE_VERSION "unknown"
#endif

namespace {

std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string JsonMember(const char* name, const std::string& json) {
    return "\"" + std::string(name) + "\":" + json;
}

std::string JsonObject(const std::vector<std::string>& members) {
    return "{" + Joined(members, ",") + "}";
}

std::string JsonArray(const std::vector<std::string>& items) {
    return "[" + Joined(items, ",") + "]";
}

std::string Ascii(const char* text) { return JsonString(WideFromAnsi(text)); }
std::string Utf8(const std::string& text) { return JsonString(WideFromUtf8(text)); }

// The stored text exactly, never the ANSI stand-in; the ANSI text only where
// the value could not be read as stored.
std::string StoredText(const SettingValue& value) {
    if (IsStringType(value.type)) return JsonString(StoredString(value.stored));
    if (value.type == REG_NONE && value.stored.empty()) return JsonString(WideFromAnsi(value.text));
    return Utf8(Utf8FromStored(value.type, value.stored));
}

std::string Values(const RunRecord& run) {
    std::vector<std::string> values;
    if (!run.valuesRead) return JsonArray(values);
    bool passes[kSettingCount] = {};
    ValuesPassing(run.checks, passes);
    for (int id = 0; id < kSettingCount; ++id) {
        const SettingValue& value = run.values[id];
        values.push_back(JsonObject({JsonMember("key", Ascii(kSettings[id].keyPath)),
                                     JsonMember("name", Ascii(kSettings[id].valueName)),
                                     JsonMember("type", Ascii(TypeName(value.type).c_str())),
                                     JsonMember("text", StoredText(value)),
                                     JsonMember("representable", JsonBool(value.representable)),
                                     JsonMember("passes", JsonBool(passes[id]))}));
    }
    return JsonArray(values);
}

std::string Writes(const RunRecord& run) {
    std::vector<std::string> writes;
    for (const WriteRecord& write : run.writes) {
        writes.push_back(JsonObject({JsonMember("key", Ascii(kSettings[write.setting].keyPath)),
                                     JsonMember("name", Ascii(kSettings[write.setting].valueName)),
                                     JsonMember("old", Utf8(write.oldText)),
                                     JsonMember("new", Utf8(write.newText)),
                                     JsonMember("done", JsonBool(write.done))}));
    }
    return JsonArray(writes);
}

std::string Mode(const RunContext& context) {
    if (context.mode == RunMode::kCheck) return "\"check\"";
    if (context.mode == RunMode::kRepair) return context.whatIf ? "\"whatif\"" : "\"repair\"";
    return "null";  // a usage error that named no mode
}

}  // namespace

std::string JsonReport(const RunRecord& run, int exitCode) {
    const RunContext& context = run.context;
    std::vector<std::string> problems;
    for (const std::string& problem : run.problems) problems.push_back(Utf8(problem));
    const char* result = !run.failure.empty()    ? "failed"
                         : !run.problems.empty() ? "not compliant"
                                                 : "compliant";
    std::vector<std::string> members = {
        JsonMember("tool", "\"Sorvane\""),
        JsonMember("version", Ascii(SORVANE_VERSION)),
        JsonMember("build", sizeof(void*) == 8 ? "\"64-bit\"" : "\"32-bit\""),
        JsonMember("computer", JsonString(ComputerName())),
        JsonMember("user", JsonString(UserName())),
        JsonMember("mode", Mode(context)),
        JsonMember("view", context.view == KEY_WOW64_64KEY ? "\"64-bit\"" : "\"32-bit\""),
        JsonMember("values", Values(run)),
        JsonMember("problems", JsonArray(problems)),
        JsonMember("writes", Writes(run)),
        JsonMember("backupFile", run.backupFile.empty() ? "null" : JsonString(run.backupFile)),
        JsonMember("changesMade", std::to_string(run.changeCount)),
        JsonMember("result", JsonString(WideFromAnsi(result)))};
    if (!run.failure.empty()) members.push_back(JsonMember("reason", Utf8(FailureReason(run))));
    members.push_back(JsonMember("exitCode", std::to_string(exitCode)));
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
