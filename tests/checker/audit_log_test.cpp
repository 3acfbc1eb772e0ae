// The audit log against real files: appending keeps what is there, every line
// has its prefix and stays one line, and a log that cannot be opened says so;
// then the texts of stored values as the log shows them.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audit_log.h"
#include "bytes.h"
#include "json_report.h"
#include "scratch_folder.h"
#include "shown_text.h"

namespace {

class AuditLog : public ScratchFolderTest {};

// The lines of `text`, each of which must end with CRLF.
std::vector<std::string> CrlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    EXPECT_EQ(text.size(), at) << "text after the last CRLF";
    return lines;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD HH:MM:SS " at the start of `line`.
bool HasTimeStamp(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd ";
    if (line.size() < shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !IsDigit(line[i]) : line[i] != shape[i]) return false;
    }
    return true;
}

// "COMPUTER USER " as the platform's ANSI calls give them (ASCII names under
// Wine), independent of the code under test.
std::string Names() {
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computerLength = sizeof computer;
    char user[257];
    DWORD userSize = sizeof user;
    EXPECT_TRUE(GetComputerNameA(computer, &computerLength));
    EXPECT_TRUE(GetUserNameA(user, &userSize));
    return std::string(computer) + " " + user + " ";
}

TEST_F(AuditLog, CheckCreatesTheLogAndKeepsWhatIsInIt) {
    const std::string log = InFolder("run.log");
    EXPECT_TRUE(CanAppendToLog(WideFromAnsi(log)));
    std::string bytes = "x";
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    EXPECT_EQ("", bytes);

    ASSERT_TRUE(WriteWholeFile(log, "earlier line\r\n"));
    EXPECT_TRUE(CanAppendToLog(WideFromAnsi(log)));
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    EXPECT_EQ("earlier line\r\n", bytes);
}

TEST_F(AuditLog, AppendsKeepEveryEarlierLineInOrder) {
    const std::string log = InFolder("run.log");
    ASSERT_TRUE(WriteWholeFile(log, "earlier line\r\n"));
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log), "first"));
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log), "second"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    const std::vector<std::string> lines = CrlfLines(bytes);
    ASSERT_EQ(3u, lines.size()) << bytes;
    EXPECT_EQ("earlier line", lines[0]);
    EXPECT_EQ(Names() + "first", lines[1].substr(20)) << lines[1];
    EXPECT_EQ(Names() + "second", lines[2].substr(20)) << lines[2];
}

TEST_F(AuditLog, EveryLineStartsWithTimeComputerAndUser) {
    const std::string log = InFolder("run.log");
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log), "RESULT: compliant"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    const std::vector<std::string> lines = CrlfLines(bytes);
    ASSERT_EQ(1u, lines.size()) << bytes;
    EXPECT_TRUE(HasTimeStamp(lines[0])) << lines[0];
    EXPECT_EQ(Names() + "RESULT: compliant", lines[0].substr(20));

    // The date is today's local one (a run at midnight may see it turn).
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    std::snprintf(today, sizeof today, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    EXPECT_EQ(today, lines[0].substr(0, 10));
}

TEST_F(AuditLog, TextIsWrittenAsGivenAndStaysOnOneLine) {
    const std::string log = InFolder("run.log");
    // UTF-8 "Привет" goes out byte for byte.
    const std::string privet = "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log), "old " + privet + "\tnew"));
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log),
                              "forged\r\n2026-01-01 00:00:00 X Y RESULT: compliant\x1b\xc2\x9d"));
    ASSERT_TRUE(AppendLogLine(WideFromAnsi(log), ""));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    const std::vector<std::string> lines = CrlfLines(bytes);
    ASSERT_EQ(3u, lines.size()) << bytes;
    EXPECT_EQ(Names() + "old " + privet + "\tnew", lines[0].substr(20));
    EXPECT_EQ(Names() + "forged<0D><0A>2026-01-01 00:00:00 X Y RESULT: compliant<1B><9D>",
              lines[1].substr(20));
    EXPECT_EQ(Names(), lines[2].substr(20));
}

TEST_F(AuditLog, LogThatCannotBeOpenedFails) {
    for (const std::string& log : {InFolder("missing\\run.log"), std::string()}) {
        EXPECT_FALSE(CanAppendToLog(WideFromAnsi(log))) << log;
        EXPECT_FALSE(AppendLogLine(WideFromAnsi(log), "line")) << log;
    }
    EXPECT_TRUE(FolderEntries(folder).empty());

    ASSERT_TRUE(CreateDirectoryA(InFolder("folder.log").c_str(), nullptr));
    EXPECT_FALSE(CanAppendToLog(WideFromAnsi(InFolder("folder.log"))));
    EXPECT_FALSE(AppendLogLine(WideFromAnsi(InFolder("folder.log")), "line"));
}

// Another run holding the log open (for reading, or for appending its own
// lines) does not keep this one out.
TEST_F(AuditLog, LogHeldOpenByAnotherRunStillTakesLines) {
    const std::string log = InFolder("shared.log");
    HANDLE other = CreateFileA(log.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other) << GetLastError();
    EXPECT_TRUE(CanAppendToLog(WideFromAnsi(log)));
    EXPECT_TRUE(AppendLogLine(WideFromAnsi(log), "mine"));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(other, "theirs\r\n", 8, &written, nullptr));
    EXPECT_TRUE(AppendLogLine(WideFromAnsi(log), "mine again"));
    CloseHandle(other);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(log, &bytes));
    const std::vector<std::string> lines = CrlfLines(bytes);
    ASSERT_EQ(3u, lines.size()) << bytes;
    EXPECT_EQ(Names() + "mine", lines[0].substr(20));
    EXPECT_EQ("theirs", lines[1]);
    EXPECT_EQ(Names() + "mine again", lines[2].substr(20));
}

TEST(AuditLogText, AnsiTextBecomesUtf8) {
    EXPECT_EQ("", Utf8FromAnsi(""));
    EXPECT_EQ("dc=example,dc=com", Utf8FromAnsi("dc=example,dc=com"));
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    EXPECT_EQ("caf\xc3\xa9 \xe2\x82\xac", Utf8FromAnsi("caf\xe9 \x80"));
}

TEST(AuditLogText, StoredValuesAsTheLogShowsThem) {
    const struct {
        DWORD type;
        std::string data;
        const char* text;
    } cases[] = {
        {REG_SZ, std::string("Y\0e\0s\0", 6), "Yes"},  // unterminated, as this tool stores text
        {REG_SZ, std::string("Y\0e\0s\0\0\0", 8), "Yes"},
        {REG_SZ, std::string("Y\0\0\0j\0u\0n\0k\0", 12), "Y"},  // up to the first NUL
        {REG_SZ, std::string("Y\0e", 3), "Y"},                  // an odd byte is no character
        {REG_SZ, std::string(), ""},
        {REG_SZ, std::string("\x1f\x04\x40\x04\0\0", 6), "\xd0\x9f\xd1\x80"},
        {REG_EXPAND_SZ, std::string("%\0A\0%\0\0\0", 8), "%A%"},
        {REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10), "a"},
        {REG_DWORD, std::string("\x2a\0\0\0", 4), "42"},
        {REG_DWORD, std::string("\xff\xff\xff\xff", 4), "4294967295"},
        {REG_DWORD, std::string("\x01\x02\x03", 3), "hex(4):01,02,03"},
        {REG_BINARY, std::string("\x01\xab\xff", 3), "hex:01,ab,ff"},
        {REG_BINARY, std::string(), "hex:"},
        {REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8), "hex(b):01,00,00,00,00,00,00,80"},
        {REG_NONE, std::string("\x01", 1), "hex(0):01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, Utf8FromStored(c.type, Bytes(c.data)))
            << "type " << c.type << ", " << c.data.size() << " bytes";
    }
}

}  // namespace

// What the end-to-end tests do not reach: the quotes and the C1 controls of
// the log, the line and paragraph separators, JSON escapes of DEL and of a
// character beyond the first plane, and values shortened without cutting an
// escape in two.
TEST(AuditLogText, AwkwardTextStaysOneValueOnOneLineAndShort) {
    EXPECT_EQ("\"a\\\"b\\\\c\\u007f\\ud834\\udd1e\"",
              JsonLine(Json("a\"b\\c\x7f\xf0\x9d\x84\x9e")));
    // A quoted value cannot close its quotes: "dc=old" -> "dc=forged" stays one value.
    EXPECT_EQ("\"dc=old\\\" -> \\\"dc=forged \\\\\"",
              Quoted(std::string("dc=old\" -> \"dc=forged \\")));
    EXPECT_EQ("\xc3\xa9<9D><9B>", Utf8OnOneLine("\xc3\xa9\xc2\x9d\xc2\x9b"));
    EXPECT_EQ("a<2028>b<2029>", Utf8OnOneLine("a\xe2\x80\xa8"
                                              "b\xe2\x80\xa9"));
    const std::string ninetyNine(99, 'x');
    EXPECT_EQ(ninetyNine + "x", Shortened(ninetyNine + "x"));
    EXPECT_EQ(ninetyNine + "...", Shortened(ninetyNine + "<0D>"));
    EXPECT_EQ(ninetyNine + "x...", Shortened(ninetyNine + "xy"));
}
