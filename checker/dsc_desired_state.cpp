#include "dsc_desired_state.h"

#include <set>

#include <nlohmann/json.hpp>

#include "rules.h"
#include "shown_text.h"

namespace {

using Json = nlohmann::json;

// Null for a value the tool would not write through this property; an empty
// file name or one cut by a NUL would name another file than the one given.
const char* FileNameRefusal(const Json& value) {
    if (!value.is_string() || value.get_ref<const std::string&>().empty()) {
        return "must be a file name";
    }
    for (wchar_t c : WideFromUtf8(value.get<std::string>())) {
        if (c < 0x20) return "holds a control character";
    }
    return nullptr;
}

bool TakeMember(const std::string& name, const Json& value, DesiredState* desired,
                std::string* refusal) {
    if (name == kDscView) {
        if (value == "32" || value == "64") {
            desired->view = RegistryView(value == "64");
            return true;
        }
        *refusal = Quoted(name) + " must be \"32\" or \"64\"";
    } else if (name == kDscSuffix) {
        if (value.is_null()) return true;  // as a get prints it where the suffixes differ
        if (value.is_string()) {
            desired->suffixGiven = true;
            desired->suffix = WideFromUtf8(value.get<std::string>());
            const Refusal* reason = TypedValueRefusal(desired->suffix, &desired->suffixText);
            if (reason != nullptr) {
                desired->suffixText.clear();
                desired->suffixRefusal = Quoted(name) + " " + reason->reason;
            }
            return true;
        }
        *refusal = Quoted(name) + " must be a text or null";
    } else if (name == kDscBackupPath || name == kDscLogPath) {
        const char* reason = FileNameRefusal(value);
        if (reason == nullptr) {
            (name == kDscBackupPath ? desired->backupPath : desired->logPath) =
                WideFromUtf8(value.get<std::string>());
            return true;
        }
        *refusal = Quoted(name) + " " + reason;
    } else {
        for (const char* readOnly : kDscValueNames) {
            if (name == readOnly) return true;
        }
        if (name == kDscProblems || name == kDscInDesiredState) return true;
        *refusal = "unknown property " + Quoted(ShownName(WideFromUtf8(name)));
    }
    return false;
}

}  // namespace

bool ParseDesiredState(const Utf8Text& text, DesiredState* desired, Utf8Text* refusal) {
    *desired = DesiredState();
    if (text.empty()) return true;
    // A name given twice: the engine keeps the last, another reader the first.
    std::set<std::string> names;
    bool twice = false;
    const Json::parser_callback_t noteNames = [&](int depth, Json::parse_event_t event,
                                                  Json& parsed) {
        if (depth == 1 && event == Json::parse_event_t::key) {
            twice = !names.insert(parsed.get<std::string>()).second || twice;
        }
        return true;
    };
    const Json state = Json::parse(text, noteNames, false);
    if (state.is_discarded() || !state.is_object()) {
        *refusal = "the desired state must be one JSON object";
        return false;
    }
    if (twice) {
        *refusal = "the desired state names a property twice";
        return false;
    }
    for (const auto& member : state.items()) {
        if (!TakeMember(member.key(), member.value(), desired, refusal)) return false;
    }
    return true;
}
