#include "dsc_instance.h"

#include "json_report.h"

std::vector<std::string> DscInstanceLines(const RunRecord& run, const DesiredState& desired,
                                          DscOperation operation) {
    bool passes[kSettingCount] = {};  // each value passes the check it takes part in
    FindPasses(run.checks, passes);
    Json state;
    state[kDscView] = desired.view.Bits();
    state[kDscSuffix] = SuffixesMatch(run.values)
                            ? Json(Utf8FromWide(StoredString(run.values[kLdapSuffix].stored)))
                            : Json(nullptr);
    for (int id = 0; id < kSettingCount; ++id) {
        state[kDscValueNames[id]] = {{"type", TypeName(run.values[id].type)},
                                     {"text", Utf8FromWide(StoredText(run.values[id]))},
                                     {"passes", passes[id]}};
    }
    state[kDscProblems] = run.problems;

    // A test names what is not as desired, the suffix where one was given and
    // is not held; a set what its writes change, the suffix with either value.
    bool differs[kSettingCount] = {};
    bool suffixDiffers = false;
    if (operation == DscOperation::kSet) {
        for (const WriteRecord& write : run.writes) differs[write.setting] = true;
        suffixDiffers = differs[kLdapSuffix] || differs[kDnSuffix];
    } else {
        for (int id = 0; id < kSettingCount; ++id) differs[id] = !passes[id];
        for (const RuleCheck& check : run.checks) {
            if (check.rule == Rule::kTwo) suffixDiffers = desired.suffixGiven && !check.holds;
        }
    }
    Json names = Json::array();
    if (suffixDiffers) names.push_back(kDscSuffix);
    for (int id = 0; id < kSettingCount; ++id) {
        if (differs[id]) names.push_back(kDscValueNames[id]);
    }
    if (operation == DscOperation::kTest) {
        state[kDscInDesiredState] = run.verdict.outcome == Outcome::kCompliant;
    }
    std::vector<std::string> lines = {JsonLine(state)};
    if (operation != DscOperation::kGet) lines.push_back(JsonLine(names));
    return lines;
}

std::string DscLogLine(const char* level, const Utf8Text& text) {
    Json line;
    line[level] = text;
    return JsonLine(line);
}

std::string DscErrorLine(const Failure& failure) {
    Json line;
    line["error"] = failure.reason;
    line["reasonId"] = ReasonIdName(failure.id);
    return JsonLine(line);
}
