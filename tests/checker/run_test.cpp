// The checker's runs over a scripted registry: the byte counts they hand
// over, writes that fail part way, reads that return unterminated data, and
// runs one after another in one process; and the write plan of each policy.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_capture.h"
#include "fake_registry_key.h"
#include "parse_words.h"
#include "front_ends.h"
#include "run.h"

namespace {

const std::string kServer = ServerKeyPath;
const std::string kClient = ClientKeyPath;
const char* const kFinished = "\nProgram has finished\n\n";

// The context main builds for these arguments (split at spaces).
RunContext Context(const std::string& arguments) { return ParseWords(arguments); }

// Runs the interactive tool once with `input` typed at it; returns what it
// printed. Every run, however it ends, leaves no key object behind and never
// holds two at once.
std::string RunTool(const std::string& input, const RunContext& context) {
    const std::string out = WithConsole(input, [&context] { RunInteractive(context); });
    EXPECT_EQ(0, fakeRegistry.openNow) << "a key object outlived the run; input:\n" << input;
    EXPECT_LE(fakeRegistry.openMost, 1) << "two keys were open at once; input:\n" << input;
    return out;
}

std::string RunTool(const std::string& input, bool verbose = false) {
    return RunTool(input, Context(verbose ? "1" : ""));
}

class ScriptedRun : public ::testing::Test {
  protected:
    void SetUp() override { Reseed(); }
    // Every rule broken, nothing failing: the start of each case of a table.
    void Reseed() {
        fakeRegistry.Reset();
        Seed("no", "no", "dc=old", "dc=new");
    }
    // Values held without a terminating NUL, as another writer may store them.
    void Seed(const std::string& login, const std::string& cr, const std::string& serverSuffix,
              const std::string& clientSuffix) {
        fakeRegistry.keys[kServer] = {
            {"Enable Login Auth", login}, {"Enable CR Auth", cr}, {"LdapSuffix", serverSuffix}};
        fakeRegistry.keys[kClient] = {{"DNSuffix", clientSuffix}};
    }
};

TEST_F(ScriptedRun, HandsTheRegistryExactlyTheTextsBytes) {
    std::string out = RunTool("n\ndc=brimsek,dc=com\ny\n");
    ASSERT_EQ(4u, fakeRegistry.writes.size()) << out;
    const struct {
        std::string path, name, bytes;
    } expected[] = {
        {kServer, "Enable Login Auth", "Yes"},
        {kServer, "Enable CR Auth", "Yes"},
        {kServer, "LdapSuffix", "dc=brimsek,dc=com"},
        {kClient, "DNSuffix", "dc=brimsek,dc=com"},
    };
    for (size_t i = 0; i < 4; ++i) {
        const FakeWrite& write = fakeRegistry.writes[i];
        EXPECT_EQ(expected[i].path, write.path) << i;
        EXPECT_EQ(expected[i].name, write.name) << i;
        // The count handed over is the text's length; the NUL the registry
        // stores after it is the platform's doing.
        EXPECT_EQ(expected[i].bytes, write.bytes) << i;
    }
}

TEST_F(ScriptedRun, FailedWritesEndTheRunWhereTheyHappen) {
    const struct {
        const char* failing;
        size_t writesTried;
        const char* errorLine;
    } cases[] = {
        {"Enable Login Auth", 1,
         "ERROR - problem writing HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV = Enable "
         "Login Auth = Yes\n"},
        {"LdapSuffix", 3,
         "ERROR - problem writing HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV = "
         "LdapSuffix = dc=x\n"},
        {"DNSuffix", 4,
         "ERROR - problem writing HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPClient = "
         "DNSuffix = dc=x\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        Reseed();
        const std::string& key = std::string(c.failing) == "DNSuffix" ? kClient : kServer;
        fakeRegistry.failingWrites.insert(key + "|" + c.failing);
        std::string out = RunTool("n\ndc=x\ny\nQ\n");
        EXPECT_EQ(c.writesTried, fakeRegistry.writes.size()) << c.failing << "\n" << out;
        // The notice that follows, and the end of the run, are proven end to end.
        EXPECT_NE(std::string::npos, out.find(c.errorLine)) << out;
    }
}

TEST_F(ScriptedRun, UnterminatedDataNeverRunsOnIntoAnEarlierLongerValue) {
    // Every value is held without a NUL, the client one shorter than the
    // server suffix read just before it into the same buffer.
    Seed("Yes", "Yes", "dc=a-long-server-suffix,dc=example", "dc=short");
    std::string out = RunTool("n\n", true);
    EXPECT_NE(std::string::npos, out.find("QXLDAPClient = DNSuffix = dc=short\n")) << out;
    EXPECT_NE(std::string::npos, out.find("is currently = dc=short\n")) << out;
}

TEST_F(ScriptedRun, FullBufferOfUnterminatedDataIsTakenWhole) {
    const std::string full(512, 'z');
    Seed("Yes", "Yes", full, full);
    std::string out = RunTool("n\n", true);
    EXPECT_NE(std::string::npos, out.find("Check OK - LdapSuffix = DNSuffix = " + full + "\n"));
}

TEST_F(ScriptedRun, TerminatedDataEndsAtItsNul) {
    Seed(std::string("Yes\0junk", 8), "Yes", std::string("s\0", 2), "s");
    std::string out = RunTool("n\n", true);
    EXPECT_NE(std::string::npos, out.find("Check OK - Enable Login Auth = Yes\n")) << out;
    EXPECT_NE(std::string::npos, out.find("Check OK - LdapSuffix = DNSuffix = s\n")) << out;
}

TEST_F(ScriptedRun, DeniedOpenAsksForElevationOnlyWhenTheTokenIsNotElevated) {
    const char* const hint =
        "QXLDAPSRV\nRun Sorvane from an elevated command prompt (Run as administrator)\n";
    const struct {
        LONG failure;
        bool elevated;
        bool hinted;
    } cases[] = {
        {ERROR_ACCESS_DENIED, false, true},
        {ERROR_ACCESS_DENIED, true, false},
        {ERROR_FILE_NOT_FOUND, false, false},
    };
    for (const auto& c : cases) {
        RunContext context = Context("");
        context.processIsElevated = c.elevated ? +[] { return true; } : +[] { return false; };
        for (int readOrWrite = 0; readOrWrite < 2; ++readOrWrite) {
            SCOPED_TRACE(std::to_string(c.failure) + (c.elevated ? " elevated" : " not elevated") +
                         (readOrWrite == 0 ? ", on the read" : ", on the write"));
            fakeRegistry.Reset();
            Seed("Yes", "no", "s", "s");
            fakeRegistry.openFailure = c.failure;
            if (readOrWrite == 0) fakeRegistry.failingOpens.insert(kServer);
            if (readOrWrite == 1) fakeRegistry.opensBeforeFailure = 2;
            std::string out = RunTool("n\nq\n", context);
            EXPECT_EQ(c.hinted, out.find(hint) != std::string::npos) << out;
        }
    }
}

// An interactive run after a fleet one in the same process: nothing of the
// first (no notice, no wait, read-only opens) carries over to the second.
TEST_F(ScriptedRun, EachRunKeepsItsOwnModeAndAccess) {
    fakeRegistry.keys.erase(kClient);
    std::string unread;
    const std::string checked = WithConsole(
        "7\n", [] { RunFleet(Context("/check")); }, &unread);
    EXPECT_EQ(
        " ERROR - could not open " + kClient + "\nRESULT: failed - could not read the settings\n",
        checked);
    EXPECT_EQ("7\n", unread);
    const REGSAM view = RegistryView().Flag();
    EXPECT_EQ(std::vector<REGSAM>{KEY_READ | view}, fakeRegistry.accesses);

    fakeRegistry.accesses.clear();
    const std::string out = RunTool("n\nq\n");
    EXPECT_NE(std::string::npos, out.find("QXLDAPClient\n\nThis program cannot read")) << out;
    EXPECT_EQ(std::vector<REGSAM>{KEY_ALL_ACCESS | view}, fakeRegistry.accesses);
}

// The fleet run on faults only the double makes: the read after the
// writes fails, or the backup cannot be written.
TEST_F(ScriptedRun, FleetRepairReportsWhatTheRegistryHoldsAfterItsWrites) {
    const struct {
        const char* arguments;
        int opensBeforeFailure;
        size_t writes;
        int exitCode;
        const char* result;
    } cases[] = {
        {"/repair /suffix:dc=x", -1, 4, 0, "RESULT: compliant, 4 changes made\n"},
        // The read back is refused: what was written is not known to hold,
        // and the line names it. (two opens read, four write)
        {"/repair /suffix:dc=x", 6, 4, 1,
         "RESULT: failed - could not read the settings back after writing them; already "
         "written: Enable Login Auth, Enable CR Auth, LdapSuffix, DNSuffix\n"},
        // A suffix that already holds the value is not written again.
        {"/repair /suffix:dc=old", -1, 3, 0, "RESULT: compliant, 3 changes made\n"},
        {"/repair /whatif /suffix:dc=x", -1, 0, 2,
         "RESULT: not compliant - Enable Login Auth is not Yes; Enable CR Auth is not Yes; "
         "LdapSuffix and DNSuffix differ\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        Reseed();
        fakeRegistry.opensBeforeFailure = c.opensBeforeFailure;
        int exitCode = -1;
        const std::string out = WithConsole("", [&] { exitCode = RunFleet(Context(c.arguments)); });
        EXPECT_EQ(c.exitCode, exitCode) << out;
        EXPECT_EQ(c.result, out.substr(out.rfind("RESULT: "))) << out;
        ASSERT_EQ(c.writes, fakeRegistry.writes.size()) << out;
        const std::string arguments = c.arguments;
        const std::string suffix = arguments.substr(arguments.find("/suffix:") + 8);
        for (const FakeWrite& write : fakeRegistry.writes) {
            EXPECT_EQ(write.name == "LdapSuffix" || write.name == "DNSuffix" ? suffix : "Yes",
                      write.bytes);
        }
        EXPECT_EQ(0, fakeRegistry.openNow);
        EXPECT_LE(fakeRegistry.openMost, 1);
    }
}

// What each entry leaves unread; blank lines and end of input are rows of
// the end-to-end tests.
TEST(FatalNotice, AnyTokenEndsTheWait) {
    const struct {
        const char* input;
        const char* left;
    } cases[] = {
        {"Q\nnext", "Q\nnext"},  // the failed number leaves Q unread; the run ends anyway
        {"7\nnext", "\nnext"},
    };
    for (const auto& c : cases) {
        std::string left;
        WithConsole(
            c.input, [] { ShowFatalNotice(true); }, &left);
        EXPECT_EQ(c.left, left) << c.input;
    }
}

SettingValue Sz(const std::string& text, DWORD type = REG_SZ) { return {text, type, {}, true}; }

// Each row: the values, the suffix a front end has, its policies (the front
// ends' own), and the writes planned, in order.
TEST(WritePlan, EachPolicyWritesWhatItsFrontEndMends) {
    const unsigned kDialogue = DialoguePolicies(Context(""));
    const unsigned kFleet = FleetPolicies(Context("/repair /suffix:dc=x"));
    const unsigned kDsc = DscPolicies(DscOperation::kSet, false, true);
    const struct {
        const char *login, *cr, *server, *client, *suffix;
        unsigned policies;
        const char* planned;
    } cases[] = {
        {"no", "Yes", "dc=a", "dc=b", "dc=x", kFleet,
         "Enable Login Auth=Yes LdapSuffix=dc=x DNSuffix=dc=x"},
        // A value that holds the text already is written only by the dialogue.
        {"Yes", "Yes", "dc=a", "dc=x", "dc=x", kFleet, "LdapSuffix=dc=x"},
        {"Yes", "Yes", "dc=a", "dc=x", "dc=x", kDialogue, "LdapSuffix=dc=x DNSuffix=dc=x"},
        // Suffixes that agree on another value: only a desired suffix changes them.
        {"Yes", "Yes", "dc=a", "dc=a", "dc=x", kFleet, ""},
        {"Yes", "Yes", "dc=a", "dc=a", "dc=x", kDsc, "LdapSuffix=dc=x DNSuffix=dc=x"},
        {"Yes", "Yes", "dc=x", "dc=a", "dc=x", kDsc, "DNSuffix=dc=x"},
        // No suffix: Rule Two is left; "yes" is not "Yes".
        {"yes", "no", "dc=a", "dc=b", "", kDialogue, "Enable Login Auth=Yes Enable CR Auth=Yes"},
    };
    for (const auto& c : cases) {
        const SettingValue values[kSettingCount] = {Sz(c.login), Sz(c.cr), Sz(c.server),
                                                    Sz(c.client)};
        const std::wstring desired = WideFromAnsi(c.suffix);
        const bool isDesired = (c.policies & kSuffixIsDesired) != 0;
        std::string planned;
        for (const PlannedWrite& write :
             PlanWrites(CheckRules(values, isDesired ? &desired : nullptr), values, c.suffix,
                        c.policies)) {
            planned += (planned.empty() ? "" : " ") +
                       std::string(kSettings[write.setting].valueName) + "=" + write.text;
        }
        EXPECT_EQ(c.planned, planned)
            << c.login << " " << c.cr << " " << c.server << " " << c.client
            << " /suffix:" << c.suffix << " policies " << c.policies;
    }
    // Data of another type never holds, so a flag stored as REG_EXPAND_SZ "Yes" is written.
    const SettingValue typed[kSettingCount] = {Sz("Yes", REG_EXPAND_SZ), Sz("Yes"), Sz("s"),
                                               Sz("s")};
    EXPECT_EQ(1u, PlanWrites(CheckRules(typed), typed, "", kFleet).size());
}

// The verdict and the record are of what the run knows last: the dialogue
// without records takes what it wrote as held; a read back that fails leaves
// no values at all.
TEST_F(ScriptedRun, TheVerdictIsOfTheLastValuesKnown) {
    const struct {
        const char* arguments;
        bool dialogue;
        int opensBeforeFailure;
        const char* result;
        size_t checks;
    } cases[] = {
        {"", true, -1, "RESULT: compliant, 2 changes made", 3},
        {"/repair", false, 4,
         "RESULT: failed - could not read the settings back after writing "
         "them; already written: Enable Login Auth, Enable CR Auth",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        fakeRegistry.Reset();
        Seed("no", "no", "s", "s");
        fakeRegistry.opensBeforeFailure = c.opensBeforeFailure;
        const RunContext context = Context(c.arguments);
        Screen silent;
        RunRequest request{silent, {context.view, KEY_ALL_ACCESS, context.processIsElevated}};
        request.policies = c.dialogue ? DialoguePolicies(context) : FleetPolicies(context);
        RunRecord run;
        WithConsole("", [&] { CheckAndRepair(request, &run); });
        EXPECT_EQ(c.result, run.verdict.resultLine);
        EXPECT_EQ(c.checks, run.checks.size());
        EXPECT_EQ(c.checks == 0 ? REG_NONE : REG_SZ, run.values[kLoginAuth].type);
    }
}

}  // namespace
