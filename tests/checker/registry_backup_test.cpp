// The .reg backup: the text written for each kind of stored data, the file's
// encoding and its atomic replacement, and a real restore with reg.exe into a
// scratch key, read back through the wide API byte for byte.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "registry_backup.h"
#include "scratch_folder.h"
#include "scratch_key.h"
#include "stored_value.h"

namespace {

// The bytes of `text` as UTF-16LE, the terminating NUL only when it is in
// `text` (write it as \0 or pass the length).
std::vector<BYTE> Utf16(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

const char* const kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV";
const wchar_t* const kPrivet = L"\u041f\u0440\u0438\u0432\u0435\u0442";  // Cyrillic "Privet"

// The awkward cases, each with the value line it must produce.
struct FormatCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    std::wstring line;
};

std::vector<FormatCase> FormatCases() {
    return {
        {"LdapSuffix", REG_SZ, Utf16(std::wstring(L"dc=a\"b\\c", 8) + L'\0'),
         L"\"LdapSuffix\"=\"dc=a\\\"b\\\\c\""},
        {"Cyrillic", REG_SZ, Utf16(std::wstring(kPrivet) + L'\0'),
         std::wstring(L"\"Cyrillic\"=\"") + kPrivet + L"\""},
        {"Empty", REG_SZ, Utf16(std::wstring(1, L'\0')), L"\"Empty\"=\"\""},
        {"na\"me\\x", REG_SZ, Utf16(std::wstring(L"v", 1) + L'\0'), L"\"na\\\"me\\\\x\"=\"v\""},
        {"", REG_SZ, Utf16(std::wstring(L"d", 1) + L'\0'), L"@=\"d\""},
        // Stored as this tool stores text: no terminator.
        {"Unterminated", REG_SZ, Utf16(L"Yes"), L"\"Unterminated\"=hex(1):59,00,65,00,73,00"},
        {"Odd", REG_SZ, Bytes(std::string("Y\0e", 3)), L"\"Odd\"=hex(1):59,00,65"},
        {"Embedded", REG_SZ, Utf16(std::wstring(L"Y\0s\0", 4)),
         L"\"Embedded\"=hex(1):59,00,00,00,73,00,00,00"},
        {"TwoNuls", REG_SZ, Utf16(std::wstring(L"Y\0\0", 3)),
         L"\"TwoNuls\"=hex(1):59,00,00,00,00,00"},
        {"LineBreak", REG_SZ, Utf16(std::wstring(L"a\r\nb\0", 5)),
         L"\"LineBreak\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
        {"NoData", REG_SZ, {}, L"\"NoData\"=hex(1):"},
        {"Expand", REG_EXPAND_SZ, Utf16(std::wstring(L"%A%\0", 4)),
         L"\"Expand\"=hex(2):25,00,41,00,25,00,00,00"},
        {"Multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0\0", 5)),
         L"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        {"Dword", REG_DWORD, Bytes(std::string("\x78\x56\x34\x12", 4)),
         L"\"Dword\"=dword:12345678"},
        {"DwordMax", REG_DWORD, Bytes(std::string(4, '\xff')), L"\"DwordMax\"=dword:ffffffff"},
        {"ShortDword", REG_DWORD, Bytes(std::string("\x01\x02\x03", 3)),
         L"\"ShortDword\"=hex(4):01,02,03"},
        {"Binary", REG_BINARY, Bytes(std::string("\x01\xab\xff", 3)), L"\"Binary\"=hex:01,ab,ff"},
        {"EmptyBinary", REG_BINARY, {}, L"\"EmptyBinary\"=hex:"},
        {"Qword", REG_QWORD, Bytes(std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)),
         L"\"Qword\"=hex(b):01,02,03,04,05,06,07,08"},
        {"None", REG_NONE, Bytes("\x01"), L"\"None\"=hex(0):01"},
        {"Large", 0x12345, Bytes("\x01"), L"\"Large\"=hex(12345):01"},
    };
}

TEST(RegistryBackupFormat, EachKindOfDataHasItsLine) {
    for (const FormatCase& c : FormatCases()) {
        const std::wstring text =
            FormatBackup({{kKey, c.name, c.type, c.data}}, L"b.reg", RegistryView(true));
        const std::wstring keyLine = L"\r\n[" + std::wstring(kKey, kKey + strlen(kKey)) + L"]\r\n";
        const size_t at = text.find(keyLine);
        ASSERT_NE(std::wstring::npos, at) << Narrow(text);
        EXPECT_EQ(keyLine + c.line + L"\r\n\r\n", text.substr(at)) << "value " << c.name;
    }
}

// On 64-bit Windows the 32-bit view's keys are named through WOW6432Node,
// which reaches that view from either reg.exe, so a plain reg import restores
// them; the 64-bit view needs /reg:64; 32-bit Windows has one view.
TEST(RegistryBackupFormat, HeaderAndKeysNameTheViewAndTheCallThatRestoresIt) {
    const std::vector<StoredSetting> one = {
        {kKey, "LdapSuffix", REG_SZ, Utf16(std::wstring(L"dc=x", 4) + L'\0')}};
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const bool windows64 = sizeof(void*) == 8 || wow64;
    const std::wstring plainKey = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brimsek\\vexa\\QXLDAPSRV]";
    const std::wstring wowKey =
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Brimsek\\vexa\\QXLDAPSRV]";
    const std::wstring only =
        L"; Registry view: the system's own (no WoW64). Restore with: reg import \"b.reg\"";
    const std::wstring view32 =
        L"; Registry view: 32-bit (keys named through WOW6432Node). Restore with: reg import "
        L"\"b.reg\"";
    const std::wstring view64 =
        L"; Registry view: 64-bit. Restore with: reg import \"b.reg\" /reg:64";
    const struct {
        RegistryView view;
        std::wstring comment, key;
    } cases[] = {
        {RegistryView(true), windows64 ? view64 : only, plainKey},
        {RegistryView(false), windows64 ? view32 : only, windows64 ? wowKey : plainKey},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(L"Windows Registry Editor Version 5.00\r\n" + c.comment + L"\r\n\r\n" + c.key +
                      L"\r\n\"LdapSuffix\"=\"dc=x\"\r\n\r\n",
                  FormatBackup(one, L"b.reg", c.view))
            << "view " << c.view.Bits();
    }
}

TEST(RegistryBackupFormat, ValuesAreGroupedUnderTheirKeysInFirstSeenOrder) {
    const std::vector<BYTE> yes = Utf16(std::wstring(L"Yes", 3) + L'\0');
    const std::wstring text = FormatBackup({{"HKEY_LOCAL_MACHINE\\S", "a", REG_SZ, yes},
                                            {"HKEY_LOCAL_MACHINE\\C", "d", REG_SZ, yes},
                                            {"HKEY_LOCAL_MACHINE\\S", "b", REG_SZ, yes}},
                                           L"b.reg", RegistryView());
    const std::wstring body = text.substr(text.find(L"\r\n\r\n"));
    EXPECT_EQ(
        L"\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n\"a\"=\"Yes\"\r\n\"b\"=\"Yes\"\r\n"
        L"\r\n[HKEY_LOCAL_MACHINE\\C]\r\n\"d\"=\"Yes\"\r\n\r\n",
        body);
}

TEST(RegistryBackupFormat, LongHexDataWrapsAtEightyColumnsLikeRegedit) {
    std::vector<BYTE> data;
    for (int i = 0; i < 200; ++i) data.push_back(static_cast<BYTE>(i));
    const std::wstring text =
        FormatBackup({{kKey, "Long", REG_BINARY, data}}, L"b.reg", RegistryView(true));
    const size_t start = text.find(L"\"Long\"=hex:00,01,");
    ASSERT_NE(std::wstring::npos, start) << Narrow(text);
    const std::wstring value = text.substr(start, text.find(L"\r\n\r\n", start) - start);
    std::wstring joined;
    size_t lineCount = 0;
    for (size_t at = 0; at < value.size();) {
        size_t end = value.find(L"\r\n", at);
        if (end == std::wstring::npos) end = value.size();
        const std::wstring line = value.substr(at, end - at);
        ++lineCount;
        EXPECT_LE(line.size(), 80u) << Narrow(line);
        if (lineCount > 1) {
            EXPECT_EQ(L"  ", line.substr(0, 2)) << Narrow(line);
            EXPECT_NE(L' ', line[2]) << Narrow(line);
        }
        const bool last = end == value.size();
        if (!last) {
            EXPECT_EQ(L",\\", line.substr(line.size() - 2)) << Narrow(line);
            EXPECT_GE(line.size(), 77u) << "lines are filled: " << Narrow(line);
        }
        joined += line.substr(lineCount > 1 ? 2 : 0,
                              line.size() - (last ? 0 : 1) - (lineCount > 1 ? 2 : 0));
        at = end + 2;
    }
    EXPECT_GT(lineCount, 7u);
    std::wstring expected = L"\"Long\"=hex:";
    for (int i = 0; i < 200; ++i) {
        const wchar_t* const digits = L"0123456789abcdef";
        expected += digits[i >> 4];
        expected += digits[i & 15];
        if (i < 199) expected += L',';
    }
    EXPECT_EQ(expected, joined);
}

class RegistryBackupFile : public ScratchFolderTest {};

// A backup never overwrites: a second one under the same name goes beside
// the first, named with the date and time, and says where.
TEST_F(RegistryBackupFile, IsUtf16WithByteOrderMarkAndNeverReplacesAnEarlierFile) {
    const std::string file = InFolder("ldap.reg");
    ASSERT_TRUE(WriteWholeFile(file, std::string(5000, 'x')));
    const std::vector<StoredSetting> settings = {
        {kKey, "Cyrillic", REG_SZ, Utf16(std::wstring(kPrivet) + L'\0')}};
    std::wstring written[2];
    for (std::wstring& name : written) {
        ASSERT_TRUE(WriteBackupFile(WideFromAnsi(file), settings, RegistryView(true), &name));
    }
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(file, &bytes));
    EXPECT_EQ(std::string(5000, 'x'), bytes);
    EXPECT_NE(written[0], written[1]);
    for (const std::wstring& name : written) {
        EXPECT_EQ(0u, name.find(WideFromAnsi(InFolder("ldap-")))) << Narrow(name);
        EXPECT_EQ(L".reg", name.substr(name.size() - 4)) << Narrow(name);
        ASSERT_TRUE(ReadWholeFile(Narrow(name), &bytes));
        const std::wstring text = FormatBackup(settings, name, RegistryView(true));
        EXPECT_EQ(std::string("\xff\xfe") +
                      std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2),
                  bytes);
    }
    EXPECT_EQ(3u, FolderEntries(folder).size()) << "no temporary file is left";
}

// A folder, named with a trailing separator or not, gets a dated file in it:
// ldap-before-YYYYMMDD-HHMMSS.reg, the later ones within one second with -2, -3.
TEST_F(RegistryBackupFile, AFolderGetsADatedBackupInIt) {
    const std::vector<StoredSetting> settings = {{kKey, "Dword", REG_DWORD, Bytes("\1\0\0\0")}};
    for (const std::string& typed : {folder + "\\", folder + "/", folder}) {
        std::wstring written;
        ASSERT_TRUE(WriteBackupFile(WideFromAnsi(typed), settings, RegistryView(), &written))
            << typed;
        const std::string name = Narrow(written);
        const std::string stem = (typed == folder ? folder + "\\" : typed) + "ldap-before-";
        const std::string date = name.substr(std::min(name.size(), stem.size()));
        EXPECT_EQ(stem, name.substr(0, stem.size())) << name;
        EXPECT_EQ(".reg", date.substr(date.size() - 4)) << name;
        EXPECT_EQ(std::string::npos, date.substr(0, 15).find_first_not_of("0123456789-")) << name;
    }
    EXPECT_EQ(3u, FolderEntries(folder).size());
}

TEST_F(RegistryBackupFile, UnwritableNameFailsAndLeavesNothingBehind) {
    const std::vector<StoredSetting> settings = {{kKey, "Dword", REG_DWORD, Bytes("\1\0\0\0")}};
    const std::string missingFolder = InFolder("missing\\ldap.reg");
    std::wstring written;
    EXPECT_FALSE(WriteBackupFile(WideFromAnsi(missingFolder), settings, RegistryView(), &written));
    EXPECT_TRUE(FolderEntries(folder).empty());
    EXPECT_EQ(L"", written);
    EXPECT_FALSE(WriteBackupFile(L"", settings, RegistryView(), &written));
}

// A real restore: the file in a scratch folder, the values in a scratch key.
class RegistryBackupRestore : public WithScratchFolder<ScratchKeyTest> {
  protected:
    // Backs `settings` up, then runs the reg import call the file's comment
    // names; its exit code.
    long BackUpAndRestore(const std::vector<StoredSetting>& settings, RegistryView view) {
        const std::string file = InFolder("restore.reg");
        std::wstring written;
        if (!WriteBackupFile(WideFromAnsi(file), settings, view, &written)) return -2;
        const std::wstring text = FormatBackup(settings, written, view);
        const size_t call = text.find(L"Restore with: ");
        if (call == std::wstring::npos) return -3;
        const std::wstring command = text.substr(call + 14, text.find(L"\r\n", call) - call - 14);
        return RunProgram(Narrow(command));
    }
};

// Every kind of data in the process's own view, then one value through
// each explicit view's switch. reg import adds a UTF-16 NUL to string data
// given as hex that lacks one: unterminated text survives, with a terminator
// it did not have.
TEST_F(RegistryBackupRestore, RegImportRestoresEveryValueByteForByte) {
    std::vector<StoredSetting> everyKind;
    for (const FormatCase& c : FormatCases()) {
        // Odd-length string data does not survive reg import (Wine's reads a
        // byte past the data to add a terminator).
        if (std::string(c.name) == "Odd") continue;
        everyKind.push_back({scratchFullPath, c.name, c.type, c.data});
    }
    std::vector<BYTE> longText;
    for (int i = 0; i < 300; ++i) {
        longText.push_back(static_cast<BYTE>(0x10 + i % 0x30));
        longText.push_back(0x04);  // Cyrillic, wrapped over many lines
    }
    longText.push_back(0);
    longText.push_back(0);
    everyKind.push_back({scratchFullPath, "LongExpand", REG_EXPAND_SZ, longText});
    everyKind.push_back({FullPathOf("Client"), "DNSuffix", REG_SZ,
                         Utf16(std::wstring(L"dc=\u00e9,dc=com", 11) + L'\0')});
    const std::vector<StoredSetting> viewed = {
        {scratchFullPath, "Viewed", REG_SZ, Utf16(std::wstring(L"v", 1) + L'\0')}};
    const struct {
        RegistryView view;
        const std::vector<StoredSetting>& settings;
    } cases[] = {{RegistryView(sizeof(void*) == 8), everyKind},
                 {RegistryView(false), viewed},
                 {RegistryView(true), viewed}};

    for (const auto& c : cases) {
        // Something else stands in the scratch key first, so the restore has
        // to overwrite it.
        for (const StoredSetting& setting : c.settings) {
            if (setting.keyPath != scratchFullPath) continue;
            ASSERT_TRUE(SetValueRaw("", setting.valueName.c_str(), REG_DWORD, "\0\0\0\0", 4));
        }
        ASSERT_EQ(0, BackUpAndRestore(c.settings, c.view)) << c.view.Bits();
        for (const StoredSetting& setting : c.settings) {
            const std::string relative = setting.keyPath == scratchFullPath ? "" : "Client";
            DWORD type = 0;
            std::string data;
            ASSERT_TRUE(ReadStoredValueRaw(relative, setting.valueName.c_str(), &type, &data))
                << setting.valueName;
            EXPECT_EQ(setting.type, type) << setting.valueName;
            const std::string expected(setting.data.begin(), setting.data.end());
            if (setting.valueName == "Unterminated") {
                ASSERT_GE(data.size(), expected.size());
                EXPECT_EQ(expected, data.substr(0, expected.size()));
                const std::string rest = data.substr(expected.size());
                EXPECT_TRUE(rest.empty() || rest == std::string(2, '\0'))
                    << rest.size() << " bytes more";
            } else {
                EXPECT_EQ(expected, data) << setting.valueName << ", view " << c.view.Bits();
            }
        }
    }
}

}  // namespace
