// The desired state of the DSC mode: what is taken, and every refusal with the
// reason the engine's log shows. The exe's own handling of them (exit code,
// standard error, nothing read or written) is proven end to end in test_dsc.
#include <string>

#include <gtest/gtest.h>

#include "dsc_desired_state.h"

namespace {

// Any suffix is taken, so what a get prints can be handed back; one the tool
// would never write carries the reason a set gives where it must write it.
TEST(DscDesiredState, TakesWhatTheSchemaAllows) {
    const std::string longSuffix = "{\"suffix\":\"" + std::string(512, 'x') + "\"}";
    const struct {
        std::string json;
        int viewBits;           // 32 or 64
        const wchar_t* suffix;  // null: none given
        const char* suffixRefusal;
        const wchar_t *backup, *log;
    } cases[] = {
        {"", 32, nullptr, "", L"", L""},  // a get with no properties
        {"{}", 32, nullptr, "", L"", L""},
        {" {\"view\": \"64\"}\r\n", 64, nullptr, "", L"", L""},
        {"{\"view\":\"32\",\"suffix\":\"dc=a,dc=b\"}", 32, L"dc=a,dc=b", "", L"", L""},
        {"{\"suffix\":null}", 32, nullptr, "", L"", L""},
        {"{\"suffix\":\"dc=a, dc=b\"}", 32, L"dc=a, dc=b", "", L"", L""},
        {"{\"suffix\":\"\"}", 32, L"", "\"suffix\" is empty", L"", L""},
        {"{\"suffix\":\"dc=a \"}", 32, L"dc=a ", "\"suffix\" must not begin or end with a blank",
         L"", L""},
        {"{\"suffix\":\"dc=a\\u0000dc=b\"}", 32, nullptr,
         "\"suffix\" holds characters that cannot be stored", L"", L""},
        {longSuffix, 32, nullptr, "\"suffix\" is longer than 511 characters", L"", L""},
        // A get's output handed back: what is only ever read is ignored.
        {"{\"view\":\"32\",\"suffix\":null,\"enableLoginAuth\":{\"type\":\"REG_DWORD\",\"text\":"
         "\"1\",\"passes\":false},\"enableCRAuth\":null,\"ldapSuffix\":{},\"dnSuffix\":[],"
         "\"problems\":[\"x\"],\"_inDesiredState\":true}",
         32, nullptr, "", L"", L""},
        {"{\"backupPath\":\"C:\\\\Back ups\\\\l.reg\",\"logPath\":\"\\\\\\\\s\\\\l.log\"}", 32,
         nullptr, "", L"C:\\Back ups\\l.reg", L"\\\\s\\l.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("desired state: " + c.json);
        DesiredState desired;
        std::string refusal;
        ASSERT_TRUE(ParseDesiredState(c.json, &desired, &refusal)) << refusal;
        EXPECT_EQ(c.viewBits == 64, desired.view.Is64());
        EXPECT_EQ(c.suffix != nullptr || *c.suffixRefusal != 0, desired.suffixGiven);
        if (c.suffix != nullptr) {
            EXPECT_EQ(c.suffix, desired.suffix);
        }
        EXPECT_EQ(c.suffixRefusal, desired.suffixRefusal);
        EXPECT_EQ(*c.suffixRefusal == 0 && c.suffix != nullptr, !desired.suffixText.empty());
        EXPECT_EQ(c.backup, desired.backupPath);
        EXPECT_EQ(c.log, desired.logPath);
    }
}

TEST(DscDesiredState, RefusesAnythingElseAndSaysWhy) {
    const std::string notOneObject = "the desired state must be one JSON object";
    const struct {
        std::string json;
        std::string refusal;
    } cases[] = {
        {"view=64", notOneObject},
        {"[{\"view\":\"64\"}]", notOneObject},
        {"\"view\"", notOneObject},
        {"{\"view\":\"64\"", notOneObject},
        {"{\"view\":\"64\"}{}", notOneObject},
        {"{\"suffix\":\"\xff\"}", notOneObject},     // not UTF-8
        {"{\"suffix\":\"\\ud800\"}", notOneObject},  // half a character
        {"{\"view\":\"64\",\"view\":\"32\"}", "the desired state names a property twice"},
        {"{\"view\":64}", "\"view\" must be \"32\" or \"64\""},
        {"{\"view\":\"16\"}", "\"view\" must be \"32\" or \"64\""},
        {"{\"view\":null}", "\"view\" must be \"32\" or \"64\""},
        {"{\"suffix\":[\"dc=a\"]}", "\"suffix\" must be a text or null"},
        {"{\"backupPath\":\"\"}", "\"backupPath\" must be a file name"},
        {"{\"logPath\":true}", "\"logPath\" must be a file name"},
        {"{\"logPath\":\"a.log\\u0000b\"}", "\"logPath\" holds a control character"},
        {"{\"Suffix\":\"dc=a\"}", "unknown property \"Suffix\""},
        {"{\"_exist\":true}", "unknown property \"_exist\""},
        {"{\"a\\r\\nb\":1}", "unknown property \"a<0D><0A>b\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("desired state: " + c.json);
        DesiredState desired;
        std::string refusal;
        EXPECT_FALSE(ParseDesiredState(c.json, &desired, &refusal));
        EXPECT_EQ(c.refusal, refusal);
    }
}

}  // namespace
