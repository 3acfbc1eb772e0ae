#include "screen_lines.h"

#include "text_encoding.h"
#include "texts.h"

void ShowCheck(const RunContext& context, const RuleCheck& check,
               const SettingValue values[kSettingCount]) {
    const char kIsCurrently[] = " is currently = ";
    const char* name = kSettings[check.setting].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    const std::string shown = ShownValue(context, values[check.setting]);
    const bool ruleTwo = check.setting == kLdapSuffix;
    if (check.holds) {
        if (VerboseMode || context.Unattended()) {
            Show(context, std::string("Check OK - ") + name + " = " +
                              (ruleTwo ? clientName + std::string(" = ") : "") + shown);
        }
        return;
    }
    if (check.setting != kLoginAuth) Show(context, "");
    const std::string serverLine = std::string(ServerKeyPath) + " = " + name + kIsCurrently + shown;
    if (!ruleTwo) {
        Show(context, "CORRECTION NEEDED - " + serverLine);
        Show(context, std::string("SHOULD BE - ") + kExpectedValue);
        return;
    }
    Show(context, "CORRECTION NEEDED - two registry key/values below do not match");
    Show(context, serverLine);
    Show(context, std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
                      ShownValue(context, values[kDnSuffix]));
    Show(context, "These two values MUST match!");
}

std::string NamedWrite(SettingId setting, const std::string& text) {
    return std::string(kSettings[setting].keyPath) + " = " + kSettings[setting].valueName + " = " +
           Shortened(OnOneLine(text));
}
