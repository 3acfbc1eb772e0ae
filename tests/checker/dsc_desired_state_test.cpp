// The desired state of the DSC mode: what is taken, and every refusal with the
// reason the engine's log shows. The exe's own handling of them (exit code,
// standard error, nothing read or written) is proven end to end in test_dsc.
#include <string>

#include <gtest/gtest.h>

#include "dsc_desired_state.h"

namespace {

TEST(DscDesiredState, TakesWhatTheSchemaAllows) {
    const struct {
        const char* json;
        int viewBits;  // 32 or 64
        const char* suffix;
        const wchar_t *backup, *log;
    } cases[] = {
        {"", 32, "", L"", L""},  // a get with no properties
        {"{}", 32, "", L"", L""},
        {" {\"view\": \"64\"}\r\n", 64, "", L"", L""},
        {"{\"view\":\"32\",\"suffix\":\"dc=a,dc=b\"}", 32, "dc=a,dc=b", L"", L""},
        {"{\"suffix\":null}", 32, "", L"", L""},
        // A get's output handed back: what is only ever read is ignored.
        {"{\"view\":\"32\",\"suffix\":null,\"enableLoginAuth\":{\"type\":\"REG_DWORD\",\"text\":"
         "\"1\",\"passes\":false},\"enableCRAuth\":null,\"ldapSuffix\":{},\"dnSuffix\":[],"
         "\"problems\":[\"x\"],\"_inDesiredState\":true}",
         32, "", L"", L""},
        {"{\"backupPath\":\"C:\\\\Back ups\\\\l.reg\",\"logPath\":\"\\\\\\\\s\\\\l.log\"}", 32, "",
         L"C:\\Back ups\\l.reg", L"\\\\s\\l.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("desired state: ") + c.json);
        DesiredState desired;
        std::string refusal;
        ASSERT_TRUE(ParseDesiredState(c.json, &desired, &refusal)) << refusal;
        EXPECT_EQ(c.viewBits == 64, desired.view.Is64());
        EXPECT_EQ(c.suffix, desired.suffix);
        EXPECT_EQ(c.backup, desired.backupPath);
        EXPECT_EQ(c.log, desired.logPath);
    }
}

TEST(DscDesiredState, RefusesAnythingElseAndSaysWhy) {
    const std::string notOneObject = "the desired state must be one JSON object";
    const std::string longSuffix = "{\"suffix\":\"" + std::string(512, 'x') + "\"}";
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
        {"{\"suffix\":\"\"}", "\"suffix\" is empty: leave it out to only report Rule Two"},
        {"{\"suffix\":\"dc=a dc=b\"}", "\"suffix\" must be one word without blanks"},
        {"{\"suffix\":\"dc=a\\u0000dc=b\"}", "\"suffix\" holds characters that cannot be stored"},
        {longSuffix, "\"suffix\" is longer than 511 characters"},
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
