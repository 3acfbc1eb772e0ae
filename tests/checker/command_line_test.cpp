// The command line: every switch, every usage error, /? winning, and the
// arguments that keep today's interactive tool; then the usage text's shape.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_capture.h"
#include "parse_words.h"
#include "command_line.h"
#include "text_encoding.h"

RunContext ParseWords(const std::string& text) {
    std::vector<std::wstring> arguments;
    std::istringstream in(text);
    for (std::string word; in >> word;) arguments.push_back(WideFromAnsi(word));
    return ParseCommandLine(arguments);
}

namespace {

const char* ModeName(RunMode mode) {
    switch (mode) {
        case RunMode::kInteractive:
            return "Interactive";
        case RunMode::kUsage:
            return "Usage";
        case RunMode::kCheck:
            return "Check";
        case RunMode::kRepair:
            return "Repair";
        case RunMode::kDsc:
            return "Dsc";
    }
    return "?";
}

TEST(CommandLineParse, ValidCommandLines) {
    const struct {
        const char* arguments;
        RunMode mode;
        bool verbose, whatIf, hasSuffix;
        const char *suffix, *backup, *log;
        int viewBits;  // 32 or 64
    } cases[] = {
        {"", RunMode::kInteractive, false, false, false, "", "", "", 0},
        {"1", RunMode::kInteractive, true, false, false, "", "", "", 0},
        {"v", RunMode::kInteractive, true, false, false, "", "", "", 0},
        {"/x", RunMode::kInteractive, true, false, false, "", "", "", 0},
        {"- /", RunMode::kInteractive, true, false, false, "", "", "", 0},
        {"/help", RunMode::kInteractive, true, false, false, "", "", "", 0},
        {"/log:x", RunMode::kInteractive, false, false, false, "", "", "x", 0},
        {"/backup:b.reg /reg:32", RunMode::kInteractive, false, false, false, "", "b.reg", "", 32},
        {"1 /log:x", RunMode::kInteractive, true, false, false, "", "", "x", 0},
        {"/x /reg:64 /backup:b", RunMode::kInteractive, true, false, false, "", "b", "", 64},
        {"/check", RunMode::kCheck, false, false, false, "", "", "", 0},
        {"-CHECK", RunMode::kCheck, false, false, false, "", "", "", 0},
        {"/ChEcK /LOG:C:\\Logs\\A.log", RunMode::kCheck, false, false, false, "", "",
         "C:\\Logs\\A.log", 0},
        {"/check /backup:C:\\b.reg /log:l /reg:64", RunMode::kCheck, false, false, false, "",
         "C:\\b.reg", "l", 64},
        {"/repair", RunMode::kRepair, false, false, false, "", "", "", 0},
        {"-Repair -WhatIf", RunMode::kRepair, false, true, false, "", "", "", 0},
        // The value keeps its case and everything after the first colon.
        {"/repair /SUFFIX:DC=Example,dc=com:x", RunMode::kRepair, false, false, true,
         "DC=Example,dc=com:x", "", "", 0},
        {"/whatif /suffix:s /repair /reg:32", RunMode::kRepair, false, true, true, "s", "", "", 32},
        {"/dsc:get", RunMode::kDsc, false, false, false, "", "", "", 0},
        {"-DSC:set -whatif", RunMode::kDsc, false, true, false, "", "", "", 0},
    };
    for (const auto& c : cases) {
        const RunContext line = ParseWords(c.arguments);
        SCOPED_TRACE(std::string("arguments: \"") + c.arguments + "\"");
        EXPECT_EQ("", line.usageError);
        EXPECT_STREQ(ModeName(c.mode), ModeName(line.mode));
        EXPECT_EQ(c.verbose, line.verbose);
        EXPECT_EQ(c.whatIf, line.whatIf);
        EXPECT_EQ(c.hasSuffix, !line.suffix.empty());
        EXPECT_EQ(c.suffix, line.suffix);
        EXPECT_EQ(WideFromAnsi(c.backup), line.backupFile);
        EXPECT_EQ(WideFromAnsi(c.log), line.logFile);
        EXPECT_EQ(c.viewBits == 64, line.view.Is64());
    }
}

TEST(CommandLineParse, UsageErrorsSayWhatIsWrong) {
    const struct {
        const char* arguments;
        const char* error;
    } cases[] = {
        {"/check /x", "Unknown argument \"/x\"."},
        {"/x /repair", "Unknown argument \"/x\"."},
        {"/check 1", "Unknown argument \"1\"."},
        {"/repair v /suffix:s", "Unknown argument \"v\"."},
        {"/check /repair", "/check and /repair cannot be used together."},
        {"-repair -check", "/check and /repair cannot be used together."},
        {"/suffix:s", "/suffix works only with /repair."},
        {"/check /suffix:s", "/suffix works only with /repair."},
        {"/whatif", "/whatif works only with /repair."},
        {"/check /whatif", "/whatif works only with /repair."},
        {"/log:x /whatif", "/whatif works only with /repair."},
        {"/repair /suffix:", "/suffix needs a value: /suffix:VALUE."},
        {"/repair /suffix", "/suffix needs a value: /suffix:VALUE."},
        {"/reg:16", "/reg takes 32 or 64: /reg:32 or /reg:64."},
        {"/check /reg:", "/reg takes 32 or 64: /reg:32 or /reg:64."},
        {"/check /reg", "/reg takes 32 or 64: /reg:32 or /reg:64."},
        {"/check /reg:064", "/reg takes 32 or 64: /reg:32 or /reg:64."},
        {"/backup:", "/backup needs a file name: /backup:FILE."},
        {"/check /backup", "/backup needs a file name: /backup:FILE."},
        {"/log:", "/log needs a file name: /log:FILE."},
        {"/repair -LOG", "/log needs a file name: /log:FILE."},
        {"/check /check", "/check is given twice."},
        {"/repair /REPAIR", "/repair is given twice."},
        {"/repair /whatif -whatif", "/whatif is given twice."},
        {"/repair /suffix:a /suffix:a", "/suffix is given twice."},
        {"/log:a /log:b", "/log is given twice."},
        {"/backup:a /backup:a", "/backup is given twice."},
        {"/reg:32 /reg:64", "/reg is given twice."},
        {"/check:yes", "/check takes no value."},
        {"/repair /whatif:", "/whatif takes no value."},
        // A call naming a mode or /json gets no usage in place of a check.
        {"/check /?", "/? shows the usage and checks nothing: give it alone."},
        {"/? /repair /suffix:s", "/? shows the usage and checks nothing: give it alone."},
        {"/x /check -?", "/? shows the usage and checks nothing: give it alone."},
        {"/json /?", "/? shows the usage and checks nothing: give it alone."},
        // A configuration engine gives everything else in the desired state.
        {"/dsc:Get", "/dsc takes get, test or set: /dsc:get, /dsc:test or /dsc:set."},
        {"/dsc", "/dsc takes get, test or set: /dsc:get, /dsc:test or /dsc:set."},
        {"/dsc:test /whatif", "/whatif works only with /repair or /dsc:set."},
        {"/dsc:set /reg:64", "/reg does not work with /dsc:, whose desired state says the rest."},
        {"/json /dsc:get", "/json does not work with /dsc:, whose desired state says the rest."},
        {"/dsc:set /suffix:s",
         "/suffix does not work with /dsc:, whose desired state says the rest."},
        {"/dsc:get 1", "Unknown argument \"1\"."},
        {"/dsc:get /dsc:set", "/dsc is given twice."},
        {"/dsc:get /?", "/? shows the usage and checks nothing: give it alone."},
        // The first error in the order the arguments come is the one reported.
        {"/reg:1 /log:", "/reg takes 32 or 64: /reg:32 or /reg:64."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error, ParseWords(c.arguments).usageError)
            << "arguments: \"" << c.arguments << "\"";
    }
}

TEST(CommandLineParse, UsageErrorsKeepTheModeAskedFor) {
    EXPECT_STREQ("Check", ModeName(ParseWords("/check /x").mode));
    EXPECT_STREQ("Repair", ModeName(ParseWords("/repair /reg:7").mode));
    EXPECT_STREQ("Interactive", ModeName(ParseWords("/log:").mode));
}

TEST(CommandLineParse, QuestionMarkWinsOverAnythingButAMode) {
    for (const char* arguments :
         {"/?", "-?", "/?:x", "1 /?", "/reg:16 /?", "/? /?", "/log:a /log:b /?"}) {
        const RunContext line = ParseWords(arguments);
        SCOPED_TRACE(std::string("arguments: \"") + arguments + "\"");
        EXPECT_STREQ("Usage", ModeName(line.mode));
        EXPECT_EQ("", line.usageError);
        EXPECT_FALSE(line.verbose);
        EXPECT_FALSE(line.whatIf);
        EXPECT_EQ("", line.suffix);
        EXPECT_EQ(L"", line.backupFile);
        EXPECT_EQ(L"", line.logFile);
        EXPECT_FALSE(line.view.Is64());
    }
}

TEST(CommandLineParse, ArgumentsThatAreNoSwitchesAreNotTakenApart) {
    // A value with spaces arrives as one argument when quoted on the command
    // line: a file name and a suffix may hold them, a suffix not at its ends.
    const RunContext line =
        ParseCommandLine({L"/repair", L"/suffix:dc=a, dc=c", L"/backup:C:\\Back ups\\ldap.reg"});
    EXPECT_EQ("", line.usageError);
    EXPECT_EQ("dc=a, dc=c", line.suffix);
    EXPECT_EQ(L"C:\\Back ups\\ldap.reg", line.backupFile);
    EXPECT_EQ("the /suffix: value must not begin or end with a blank",
              ParseCommandLine({L"/repair", L"/suffix:dc=a "}).usageError);

    EXPECT_TRUE(ParseCommandLine({L""}).verbose) << "an empty argument is still an argument";
}

TEST(Usage, NamesEverySwitchAndFitsOneScreen) {
    const std::string out = WithConsole("", [] { ShowUsage(); });
    std::istringstream lines(out);
    int count = 0;
    for (std::string text; std::getline(lines, text);) {
        ++count;
        EXPECT_LE(text.size(), 79u) << "line " << count << ": " << text;
    }
    EXPECT_LE(count, 40);
    for (const char* word : {"/?",
                             "/check",
                             "/repair",
                             "/suffix:VALUE",
                             "/whatif",
                             "/backup:FILE",
                             "/dsc:get",
                             "/dsc:set",
                             "Sorvane.dsc.resource.json",
                             "/log:FILE",
                             "/reg:32",
                             "/reg:64",
                             "0 compliant",
                             "2 not compliant",
                             "1 failed",
                             "fleet",
                             "PowerShell module Sorvane",
                             "/json",
                             "Sorvane64.exe",
                             "not compliant[, N changes made] - "}) {
        EXPECT_NE(std::string::npos, out.find(word)) << word;
    }
}

}  // namespace
