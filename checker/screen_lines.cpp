#include "screen_lines.h"

#include "text_encoding.h"
#include "texts.h"

namespace {

bool ShowsChecks(const RunContext& context) { return VerboseMode || context.Unattended(); }

void ShowRuleOne(const RunContext& context, const RuleCheck& check, const SettingValue& value) {
    const char* name = kSettings[check.setting].valueName;
    if (check.holds) {
        if (ShowsChecks(context)) {
            Show(context, std::string(kCheckOk) + name + " = " + ShownValue(context, value));
        }
        return;
    }
    if (check.setting == kCrAuth) Show(context, "");
    Show(context, std::string(kCorrectionNeeded) + ServerKeyPath + " = " + name + kIsCurrently +
                      ShownValue(context, value));
    Show(context, std::string(kShouldBe) + kExpectedValue);
}

void ShowRuleTwo(const RunContext& context, const RuleCheck& check,
                 const SettingValue values[kSettingCount]) {
    const char* serverName = kSettings[kLdapSuffix].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    if (check.holds) {
        if (ShowsChecks(context)) {
            Show(context, std::string(kCheckOk) + serverName + " = " + clientName + " = " +
                              ShownValue(context, values[kLdapSuffix]));
        }
        return;
    }
    Show(context, "");
    Show(context, std::string(kCorrectionNeeded) + kNoMatch);
    Show(context, std::string(ServerKeyPath) + " = " + serverName + kIsCurrently +
                      ShownValue(context, values[kLdapSuffix]));
    Show(context, std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
                      ShownValue(context, values[kDnSuffix]));
    Show(context, kMustMatch);
}

}  // namespace

void ShowCheck(const RunContext& context, const RuleCheck& check,
               const SettingValue values[kSettingCount]) {
    if (check.setting == kLdapSuffix) {
        ShowRuleTwo(context, check, values);
    } else {
        ShowRuleOne(context, check, values[check.setting]);
    }
}

std::string NamedWrite(SettingId setting, const std::string& text) {
    return std::string(kSettings[setting].keyPath) + " = " + kSettings[setting].valueName + " = " +
           Shortened(OnOneLine(text));
}
