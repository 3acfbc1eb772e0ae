// RegistryKey values and walks against the real registry: 32-bit and
// multi-string values, deletion, and stepping through sub-keys and values.
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

// When set, the next nothrow array allocation fails, as on an exhausted heap.
bool failNextNothrowArray = false;

}  // namespace

// Replaces the library's nothrow array allocation for this test program; it
// delegates to the ordinary one, so the ordinary delete[] releases it.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failNextNothrowArray) {
        failNextNothrowArray = false;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

class RegistryKeyValues : public ScratchKeyTest {};

const DWORD kUntouched = 12345;

DWORD LastError() { return GetLastError(); }

TEST_F(RegistryKeyValues, DwordRoundTripStoresFourBytesOfTypeDword) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    for (DWORD value : {0ul, 1ul, 0x12345678ul, 0xFFFFFFFFul}) {
        SetLastError(kUntouched);
        ASSERT_TRUE(key.WriteDword("n", value));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
        DWORD type;
        std::string data;
        ASSERT_TRUE(GetRaw("", "n", &type, &data));
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&value), 4), data);
        DWORD read = ~value;
        EXPECT_TRUE(key.ReadDword("n", &read));
        EXPECT_EQ(value, read);
    }
}

// ReadDword takes at most four bytes of any type; shorter data fills only its
// own bytes, longer data is the registry's ERROR_MORE_DATA.
TEST_F(RegistryKeyValues, ReadDwordTakesUpToFourBytesOfAnyType) {
    struct {
        const char* name;
        const char* bytes;
        DWORD size;
        LONG expected;
        DWORD after;
    } cases[] = {
        {"three", "\x01\x02\x03", 3, ERROR_SUCCESS, 0xAA030201},
        {"four", "\x01\x02\x03\x04", 4, ERROR_SUCCESS, 0x04030201},
        {"five", "\x01\x02\x03\x04\x05", 5, ERROR_MORE_DATA, 0},
        {"empty", "", 0, ERROR_SUCCESS, 0xAABBCCDD},
    };
    for (const auto& c : cases) ASSERT_TRUE(SetRaw("", c.name, REG_BINARY, c.bytes, c.size));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    for (const auto& c : cases) {
        DWORD value = 0xAABBCCDD;
        SetLastError(kUntouched);
        EXPECT_EQ(c.expected == ERROR_SUCCESS, key.ReadDword(c.name, &value)) << c.name;
        EXPECT_EQ(static_cast<DWORD>(c.expected), LastError()) << c.name;
        if (c.expected == ERROR_SUCCESS) {
            EXPECT_EQ(c.after, value) << c.name;
        }
    }
    DWORD value;
    EXPECT_FALSE(key.ReadDword("absent", &value));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), LastError());
}

// Stores a value through the "W" function, so its text is what the registry
// holds, never a conversion from the code page under test.
bool SetWide(const std::string& sub, const wchar_t* name, DWORD type, const void* data,
             DWORD size) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    LONG r = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

std::string Bytes(const std::wstring& text, bool withNul) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
}

TEST_F(RegistryKeyValues, StoredValueReadsBackExactlyWithItsType) {
    // "Yes" and "No" in Russian: no letter of either is in a Western code page.
    const std::wstring yes = L"\x0414\x0430";
    const std::wstring no = L"\x041D\x0435";
    struct {
        const char* name;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"yes", REG_SZ, Bytes(yes, true)},
        {"no", REG_SZ, Bytes(no, true)},
        {"unterminated", REG_SZ, Bytes(yes, false)},
        {"empty", REG_SZ, ""},
        {"expand", REG_EXPAND_SZ, Bytes(L"%SystemRoot%\\\x0414", true)},
        {"dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
    };
    for (const auto& c : cases) {
        std::wstring name(c.name, c.name + std::strlen(c.name));
        ASSERT_TRUE(
            SetWide(sub, name.c_str(), c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())))
            << c.name;
    }
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    for (const auto& c : cases) {
        BYTE data[64];
        DWORD type = REG_NONE;
        DWORD size = sizeof data;
        SetLastError(kUntouched);
        ASSERT_TRUE(key.ReadStoredValue(c.name, &type, data, &size)) << c.name;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError()) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.bytes, std::string(reinterpret_cast<char*>(data), size)) << c.name;
    }

    // Why the method exists: through the code page the two texts read the same.
    char yesText[16], noText[16];
    DWORD yesSize = sizeof yesText, noSize = sizeof noText;
    ASSERT_TRUE(key.ReadValue("yes", reinterpret_cast<BYTE*>(yesText), &yesSize));
    ASSERT_TRUE(key.ReadValue("no", reinterpret_cast<BYTE*>(noText), &noSize));
    EXPECT_EQ(std::string(yesText, yesSize), std::string(noText, noSize));

    // One byte short: the registry's ERROR_MORE_DATA and the size it needs.
    BYTE data[64];
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(Bytes(yes, true).size()) - 1;
    EXPECT_FALSE(key.ReadStoredValue("yes", &type, data, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), LastError());
    EXPECT_EQ(Bytes(yes, true).size(), size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    size = sizeof data;
    EXPECT_FALSE(key.ReadStoredValue("absent", &type, data, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), LastError());
}

TEST_F(RegistryKeyValues, MultiStringIsStoredAndReadBackByteForByte) {
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"two", std::string("alpha\0beta\0\0", 12)},
        {"one", std::string("single\0\0", 8)},
        {"none", std::string("\0", 1)},
    };
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    for (const auto& c : cases) {
        const BYTE* data = reinterpret_cast<const BYTE*>(c.bytes.data());
        SetLastError(kUntouched);
        ASSERT_TRUE(key.WriteMultiString(c.name, data, static_cast<DWORD>(c.bytes.size())));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());

        DWORD type;
        std::string raw;
        ASSERT_TRUE(GetRaw("", c.name, &type, &raw));
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type) << c.name;
        EXPECT_EQ(c.bytes, raw) << c.name;

        BYTE buffer[32];
        DWORD size = sizeof buffer;
        ASSERT_TRUE(key.ReadValue(c.name, buffer, &size));
        EXPECT_EQ(c.bytes, std::string(reinterpret_cast<char*>(buffer), size)) << c.name;
    }
}

TEST_F(RegistryKeyValues, DeletionRemovesOnlyWhatIsNamed) {
    ASSERT_TRUE(MakeKey("leaf"));
    ASSERT_TRUE(MakeKey("branch\\twig"));
    ASSERT_TRUE(SetRaw("", "doomed", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(SetRaw("", "kept", REG_DWORD, "\2\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    SetLastError(kUntouched);
    EXPECT_TRUE(key.DeleteValue("doomed"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
    DWORD type;
    std::string data;
    EXPECT_FALSE(GetRaw("", "doomed", &type, &data));
    EXPECT_TRUE(GetRaw("", "kept", &type, &data));
    EXPECT_FALSE(key.DeleteValue("doomed"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), LastError());

    EXPECT_TRUE(key.DeleteSubKey("leaf"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
    EXPECT_FALSE(KeyExists("leaf"));
    EXPECT_EQ(full, key.Path()) << "the current key stays";
    EXPECT_TRUE(key.DeleteSubKey("branch\\twig")) << "a relative path of several levels";
    EXPECT_FALSE(KeyExists("branch\\twig"));
    EXPECT_TRUE(KeyExists("branch"));
    EXPECT_FALSE(key.DeleteSubKey("leaf"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), LastError());
}

// With no key the registry refuses the null handle; the walks first size their
// buffers from the counters the constructor zeroed.
TEST_F(RegistryKeyValues, OperationsWithoutAKeyFailWithTheRegistryCode) {
    RegistryKey key;
    BYTE data[8] = {};
    DWORD value = 0, size = sizeof data, type = 0;
    // The code each call leaves, or success when it claimed success.
    auto code = [](bool ok) { return ok ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError(); };
    const DWORD codes[] = {
        code(key.ReadDword("x", &value)),
        code(key.WriteDword("x", 1)),
        code(key.WriteMultiString("x", data, 1)),
        code(key.DeleteValue("x")),
        code(key.DeleteSubKey("x")),
        code(key.NextSubKey(true) != nullptr),
        code(key.NextValue(&type, data, &size, true) != nullptr),
        code(key.ReadStoredValue("x", &type, data, &size)),
    };
    for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), codes[i]) << "operation " << i;
    }
}

TEST_F(RegistryKeyValues, SubKeyWalkEndsWithNoMoreItemsAndRestarts) {
    const std::set<std::string> names = {"first", "second-longer", "third"};
    for (const std::string& name : names) ASSERT_TRUE(MakeKey(name));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    std::set<std::string> seen;
    const char* name = key.NextSubKey(true);
    ASSERT_NE(nullptr, name);
    const std::string firstName = name;
    for (; name != nullptr; name = key.NextSubKey(false)) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
        seen.insert(name);
    }
    EXPECT_EQ(names, seen);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), LastError());
    EXPECT_EQ(nullptr, key.NextSubKey(false)) << "past the end stays past the end";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), LastError());

    name = key.NextSubKey(true);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(firstName, name);

    // A key without values ends its value walk at once.
    DWORD type;
    SetLastError(kUntouched);
    EXPECT_EQ(nullptr, key.NextValue(&type, nullptr, nullptr, true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), LastError());
}

// The name buffer is sized afresh at every step, so a name longer than any the
// key had when the walk began still fits.
TEST_F(RegistryKeyValues, WalksFollowNamesThatGrowDuringTheWalk) {
    ASSERT_TRUE(MakeKey("a"));
    ASSERT_TRUE(SetRaw("", "a", REG_DWORD, "\1\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    ASSERT_STREQ("a", key.NextSubKey(true));
    ASSERT_STREQ("a", key.NextValue(nullptr, nullptr, nullptr, true));

    const std::string longer = "b-much-longer-than-any-name-before";
    ASSERT_TRUE(MakeKey(longer));
    ASSERT_TRUE(SetRaw("", longer.c_str(), REG_DWORD, "\2\0\0\0", 4));
    const char* name = key.NextSubKey(false);
    ASSERT_NE(nullptr, name) << "error " << LastError();
    EXPECT_EQ(longer, name);
    name = key.NextValue(nullptr, nullptr, nullptr, false);
    ASSERT_NE(nullptr, name) << "error " << LastError();
    EXPECT_EQ(longer, name);
}

TEST_F(RegistryKeyValues, SubKeyAndValueWalksRunSideBySide) {
    ASSERT_TRUE(MakeKey("k1"));
    ASSERT_TRUE(MakeKey("k2"));
    ASSERT_TRUE(SetRaw("", "v1", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(SetRaw("", "v2", REG_DWORD, "\2\0\0\0", 4));
    ASSERT_TRUE(SetRaw("", "v3", REG_DWORD, "\3\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    // Steps alternate; each walk sees its own entries in full.
    std::set<std::string> keys, values;
    const char* subKey = key.NextSubKey(true);
    ASSERT_NE(nullptr, subKey);
    const std::string firstKey = subKey;
    DWORD data = 0, size = sizeof data;
    const char* value = key.NextValue(nullptr, reinterpret_cast<BYTE*>(&data), &size, true);
    EXPECT_EQ(firstKey, subKey) << "a value step leaves the sub-key name alone";
    for (int step = 0; step < 4; ++step) {
        if (subKey != nullptr) keys.insert(subKey);
        if (value != nullptr) {
            values.insert(value);
            EXPECT_EQ(static_cast<DWORD>(value[1] - '0'), data) << value;
        }
        subKey = key.NextSubKey(false);
        size = sizeof data;
        value = key.NextValue(nullptr, reinterpret_cast<BYTE*>(&data), &size, false);
    }
    EXPECT_EQ((std::set<std::string>{"k1", "k2"}), keys);
    EXPECT_EQ((std::set<std::string>{"v1", "v2", "v3"}), values);
    EXPECT_EQ(nullptr, subKey);
    EXPECT_EQ(nullptr, value);
}

// The index moves on before the registry is asked: a value too large for the
// caller's buffer is reported once and then passed over.
TEST_F(RegistryKeyValues, ValueTooLargeForTheBufferIsPassedOver) {
    // Names in the registry's own order (Wine keeps values sorted by name,
    // Windows in the order they were set; here the two agree).
    ASSERT_TRUE(SetRaw("", "a", REG_BINARY, "12345678", 8));
    ASSERT_TRUE(SetRaw("", "b", REG_BINARY, "1", 1));
    ASSERT_TRUE(SetRaw("", "c", REG_BINARY, "12", 2));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    BYTE data[4];
    DWORD type = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(nullptr, key.NextValue(&type, data, &size, true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), LastError());

    size = sizeof data;
    const char* name = key.NextValue(&type, data, &size, false);
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ("b", name) << "the index has moved on past the value that did not fit";
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(1u, size);

    // Only a restart reaches the large value, with a buffer that holds it.
    BYTE large[8];
    size = sizeof large;
    name = key.NextValue(&type, large, &size, true);
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ("a", name);
    EXPECT_EQ(0, std::memcmp("12345678", large, 8));
}

// Opening another key leaves the indices where they were: only a restart
// starts a walk of the new key from its first entry.
TEST_F(RegistryKeyValues, OpeningAnotherKeyDoesNotRestartTheWalk) {
    for (const char* name : {"one\\x", "one\\y", "two\\p", "two\\q", "two\\r"}) {
        ASSERT_TRUE(MakeKey(name));
    }
    RegistryKey key;
    ASSERT_TRUE(key.Open((full + "\\one").c_str()));
    ASSERT_STREQ("x", key.NextSubKey(true));
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenSubKey("two"));
    EXPECT_STREQ("q", key.NextSubKey(false));
    EXPECT_STREQ("p", key.NextSubKey(true));
}

TEST_F(RegistryKeyValues, NameBufferThatCannotBeAllocatedEndsTheStep) {
    ASSERT_TRUE(MakeKey("only"));
    ASSERT_TRUE(SetRaw("", "only", REG_DWORD, "\1\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));

    failNextNothrowArray = true;
    SetLastError(kUntouched);
    EXPECT_EQ(nullptr, key.NextSubKey(true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), LastError());
    EXPECT_FALSE(failNextNothrowArray) << "the step asked for its buffer";
    EXPECT_STREQ("only", key.NextSubKey(false)) << "the failed step did not use up an entry";

    failNextNothrowArray = true;
    SetLastError(kUntouched);
    EXPECT_EQ(nullptr, key.NextValue(nullptr, nullptr, nullptr, true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), LastError());
    EXPECT_STREQ("only", key.NextValue(nullptr, nullptr, nullptr, false));

    // The stored-value read converts the name into a buffer of its own.
    DWORD value = 0, size = sizeof value;
    failNextNothrowArray = true;
    SetLastError(kUntouched);
    EXPECT_FALSE(key.ReadStoredValue("only", nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), LastError());
    EXPECT_TRUE(key.ReadStoredValue("only", nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    failNextNothrowArray = false;
}

}  // namespace
