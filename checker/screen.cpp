#include "screen.h"

#include "console.h"
#include "shown_text.h"

void TextScreen::Line(const AnsiText& line) { PrintLine(line); }

void TextScreen::Check(const RuleCheck& check, const SettingValue values[kSettingCount]) {
    const char kIsCurrently[] = " is currently = ";
    const SettingId setting = check.settings.front();
    const char* name = kSettings[setting].valueName;
    const char* clientName = kSettings[kDnSuffix].valueName;
    const AnsiText shown = ShownValue(values[setting], shortens);
    const bool ruleTwo = check.rule == Rule::kTwo;
    const bool first = !anyCheck;
    anyCheck = true;
    if (check.holds) {
        if (showsHolding) {
            PrintLine(std::string("Check OK - ") + name + " = " +
                      (ruleTwo ? clientName + std::string(" = ") : "") + shown);
        }
        return;
    }
    if (!first) PrintLine("");
    const std::string serverLine = std::string(ServerKeyPath) + " = " + name + kIsCurrently + shown;
    if (!ruleTwo) {
        PrintLine("CORRECTION NEEDED - " + serverLine);
        PrintLine(std::string("SHOULD BE - ") + kExpectedValue);
        return;
    }
    PrintLine("CORRECTION NEEDED - two registry key/values below do not match");
    PrintLine(serverLine);
    PrintLine(std::string(ClientKeyPath) + " = " + clientName + kIsCurrently +
              ShownValue(values[kDnSuffix], shortens));
    PrintLine("These two values MUST match!");
}
