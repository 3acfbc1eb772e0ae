#include "dsc_instance.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "text_encoding.h"

namespace {

using Json = nlohmann::ordered_json;

const char kNotTheSuffixGiven[] = "LdapSuffix and DNSuffix do not hold the suffix given";

// ASCII, every other character as \uXXXX, which every capture path reads alike.
std::string Line(const Json& value) {
    return value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

// The value a planned write would leave, with the NUL the registry adds.
SettingValue Written(const WriteRecord& write) {
    const std::wstring wide = WideFromUtf8(write.newText);
    SettingValue value;
    value.text = AnsiFromWide(wide);
    value.type = REG_SZ;
    for (wchar_t c : wide + L'\0') {
        value.stored.push_back(static_cast<BYTE>(c & 0xFF));
        value.stored.push_back(static_cast<BYTE>(c >> 8));
    }
    return value;
}

}  // namespace

DscOutput MakeDscOutput(const RunRecord& run, const DesiredState& desired, DscOperation operation) {
    SettingValue values[kSettingCount];
    std::copy(run.values, run.values + kSettingCount, values);
    for (const WriteRecord& write : run.writes) {
        if (!write.done) values[write.setting] = Written(write);  // planned by /whatif
    }
    DscOutput output;
    bool passes[kSettingCount] = {};  // each value passes the check it takes part in
    bool suffixesMatch = false;
    const std::vector<RuleCheck> checks = CheckRules(values);
    FindPasses(checks, passes);
    for (const RuleCheck& check : checks) {
        if (check.rule == Rule::kTwo) suffixesMatch = check.holds;
        if (!check.holds) output.problems.push_back(check.problem);
    }
    const bool suffixGiven = !desired.suffix.empty();
    bool holdsGiven[kSettingCount] = {};
    for (SettingId setting : {kLdapSuffix, kDnSuffix}) {
        holdsGiven[setting] = HoldsText(values[setting], desired.suffix);
    }
    const bool suffixHeld = !suffixGiven || (holdsGiven[kLdapSuffix] && holdsGiven[kDnSuffix]);
    if (suffixesMatch && !suffixHeld) output.problems.push_back(kNotTheSuffixGiven);

    Json state;
    state[kDscView] = desired.view.Bits();
    state[kDscSuffix] = suffixesMatch ? Json(Utf8FromWide(StoredString(values[kLdapSuffix].stored)))
                                      : Json(nullptr);
    for (int id = 0; id < kSettingCount; ++id) {
        state[kDscValueNames[id]] = {{"type", TypeName(values[id].type)},
                                     {"text", Utf8FromWide(StoredText(values[id]))},
                                     {"passes", passes[id]}};
    }
    state[kDscProblems] = output.problems;

    // A test names what is not as desired; a set what its writes change, the
    // suffix both values hold with either of them.
    bool differs[kSettingCount] = {};
    for (int id = 0; id < kSettingCount; ++id) {
        const bool suffix = id == kLdapSuffix || id == kDnSuffix;
        differs[id] = suffix && suffixGiven ? !holdsGiven[id] : !passes[id];
    }
    bool suffixDiffers = !suffixHeld;
    if (operation == DscOperation::kSet) {
        std::fill(differs, differs + kSettingCount, false);
        for (const WriteRecord& write : run.writes) differs[write.setting] = true;
        suffixDiffers = differs[kLdapSuffix] || differs[kDnSuffix];
    }
    Json names = Json::array();
    if (suffixDiffers) names.push_back(kDscSuffix);
    for (int id = 0; id < kSettingCount; ++id) {
        if (differs[id]) names.push_back(kDscValueNames[id]);
    }
    if (operation == DscOperation::kTest) state[kDscInDesiredState] = names.empty();
    output.lines.push_back(Line(state));
    if (operation != DscOperation::kGet) output.lines.push_back(Line(names));
    return output;
}

std::string DscLogLine(const char* level, const Utf8Text& text) {
    Json line;
    line[level] = text;
    return Line(line);
}
