// RegistryKey values and walks against the real registry: 32-bit and
// multi-string values, deletion, and stepping through sub-keys and values.
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "last_error.h"
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

TEST_F(RegistryKeyValues, DwordRoundTripStoresFourBytesOfTypeDword) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    for (DWORD value : {0ul, 1ul, 0x12345678ul, 0xFFFFFFFFul}) {
        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.WriteDword("n", value));
        DWORD type;
        std::string data;
        ASSERT_TRUE(ReadValueRaw("", "n", &type, &data));
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
    for (const auto& c : cases) ASSERT_TRUE(SetValueRaw("", c.name, REG_BINARY, c.bytes, c.size));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    for (const auto& c : cases) {
        DWORD value = 0xAABBCCDD;
        EXPECT_LAST_ERROR(c.expected, key.ReadDword(c.name, &value)) << c.name;
        if (c.expected == ERROR_SUCCESS) {
            EXPECT_EQ(c.after, value) << c.name;
        }
    }
    DWORD value;
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.ReadDword("absent", &value));
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
        // Stored through the wide API, so the text is what the registry holds,
        // never a conversion from the code page under test.
        ASSERT_TRUE(SetStoredValueRaw("", name.c_str(), c.type, c.bytes.data(),
                                      static_cast<DWORD>(c.bytes.size())))
            << c.name;
    }
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    for (const auto& c : cases) {
        BYTE data[64];
        DWORD type = REG_NONE;
        DWORD size = sizeof data;
        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.ReadStoredValue(c.name, &type, data, &size)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        // Wine's 64-bit RegQueryValueExW hands string data back with a
        // terminating NUL added when it is stored without one; under WoW64 it
        // returns the bytes as stored.
        std::string expected = c.bytes;
        if (sizeof(void*) == 8 && std::strcmp(c.name, "unterminated") == 0)
            expected.append(2, '\0');
        EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(data), size)) << c.name;
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
    EXPECT_LAST_ERROR(ERROR_MORE_DATA, key.ReadStoredValue("yes", &type, data, &size));
    EXPECT_EQ(Bytes(yes, true).size(), size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    size = sizeof data;
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.ReadStoredValue("absent", &type, data, &size));
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
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    for (const auto& c : cases) {
        const BYTE* data = reinterpret_cast<const BYTE*>(c.bytes.data());
        ASSERT_LAST_ERROR(ERROR_SUCCESS,
                          key.WriteMultiString(c.name, data, static_cast<DWORD>(c.bytes.size())));

        DWORD type;
        std::string raw;
        ASSERT_TRUE(ReadValueRaw("", c.name, &type, &raw));
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type) << c.name;
        EXPECT_EQ(c.bytes, raw) << c.name;

        BYTE buffer[32];
        DWORD size = sizeof buffer;
        ASSERT_TRUE(key.ReadValue(c.name, buffer, &size));
        EXPECT_EQ(c.bytes, std::string(reinterpret_cast<char*>(buffer), size)) << c.name;
    }
}

TEST_F(RegistryKeyValues, DeletionRemovesOnlyWhatIsNamed) {
    ASSERT_TRUE(CreateKeyRaw("leaf"));
    ASSERT_TRUE(CreateKeyRaw("branch\\twig"));
    ASSERT_TRUE(SetValueRaw("", "doomed", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(SetValueRaw("", "kept", REG_DWORD, "\2\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    EXPECT_LAST_ERROR(ERROR_SUCCESS, key.DeleteValue("doomed"));
    DWORD type;
    std::string data;
    EXPECT_FALSE(ReadValueRaw("", "doomed", &type, &data));
    EXPECT_TRUE(ReadValueRaw("", "kept", &type, &data));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.DeleteValue("doomed"));

    EXPECT_LAST_ERROR(ERROR_SUCCESS, key.DeleteSubKey("leaf"));
    EXPECT_FALSE(KeyExistsRaw("leaf"));
    EXPECT_EQ(scratchFullPath, key.Path()) << "the current key stays";
    EXPECT_TRUE(key.DeleteSubKey("branch\\twig")) << "a relative path of several levels";
    EXPECT_FALSE(KeyExistsRaw("branch\\twig"));
    EXPECT_TRUE(KeyExistsRaw("branch"));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.DeleteSubKey("leaf"));

    // With a registry view asked for, the delete goes through the call that
    // takes one (a 32-bit prefix has one view, so this proves the path only).
    ASSERT_TRUE(CreateKeyRaw("viewed"));
    key.SetAccess(KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    EXPECT_LAST_ERROR(ERROR_SUCCESS, key.DeleteSubKey("viewed"));
    EXPECT_FALSE(KeyExistsRaw("viewed"));
}

// With no key the registry refuses the null handle; the walks first size their
// buffers from the counters the constructor zeroed.
TEST_F(RegistryKeyValues, OperationsWithoutAKeyFailWithTheRegistryCode) {
    RegistryKey key;
    BYTE data[8] = {};
    DWORD value = 0, size = sizeof data, type = 0;
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.ReadValue("x", data, &size));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.WriteString("x", data, 1));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.RefreshInfo());
    size = sizeof data;
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.ReadDword("x", &value));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.WriteDword("x", 1));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.WriteMultiString("x", data, 1));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.DeleteValue("x"));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.DeleteSubKey("x"));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.NextSubKey(true));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.NextValue(&type, data, &size, true));
    EXPECT_LAST_ERROR(ERROR_INVALID_HANDLE, key.ReadStoredValue("x", &type, data, &size));
}

TEST_F(RegistryKeyValues, SubKeyWalkEndsWithNoMoreItemsAndRestarts) {
    const std::set<std::string> names = {"first", "second-longer", "third"};
    for (const std::string& name : names) ASSERT_TRUE(CreateKeyRaw(name));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    std::set<std::string> seen;
    const char* name = key.NextSubKey(true);
    ASSERT_NE(nullptr, name);
    const std::string firstName = name;
    for (; name != nullptr; name = key.NextSubKey(false)) {
        EXPECT_LAST_ERROR(ERROR_SUCCESS);
        seen.insert(name);
    }
    EXPECT_EQ(names, seen);
    EXPECT_LAST_ERROR(ERROR_NO_MORE_ITEMS);
    EXPECT_LAST_ERROR(ERROR_NO_MORE_ITEMS, key.NextSubKey(false))
        << "past the end stays past the end";

    name = key.NextSubKey(true);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(firstName, name);

    // A key without values ends its value walk at once.
    DWORD type;
    EXPECT_LAST_ERROR(ERROR_NO_MORE_ITEMS, key.NextValue(&type, nullptr, nullptr, true));
}

// The name buffer is sized afresh at every step, so a name longer than any the
// key had when the walk began still fits.
TEST_F(RegistryKeyValues, WalksFollowNamesThatGrowDuringTheWalk) {
    ASSERT_TRUE(CreateKeyRaw("a"));
    ASSERT_TRUE(SetValueRaw("", "a", REG_DWORD, "\1\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    ASSERT_STREQ("a", key.NextSubKey(true));
    ASSERT_STREQ("a", key.NextValue(nullptr, nullptr, nullptr, true));

    const std::string longer = "b-much-longer-than-any-name-before";
    ASSERT_TRUE(CreateKeyRaw(longer));
    ASSERT_TRUE(SetValueRaw("", longer.c_str(), REG_DWORD, "\2\0\0\0", 4));
    const char* name = key.NextSubKey(false);
    ASSERT_NE(nullptr, name) << "error " << GetLastError();
    EXPECT_EQ(longer, name);
    name = key.NextValue(nullptr, nullptr, nullptr, false);
    ASSERT_NE(nullptr, name) << "error " << GetLastError();
    EXPECT_EQ(longer, name);
}

TEST_F(RegistryKeyValues, SubKeyAndValueWalksRunSideBySide) {
    ASSERT_TRUE(CreateKeyRaw("k1"));
    ASSERT_TRUE(CreateKeyRaw("k2"));
    ASSERT_TRUE(SetValueRaw("", "v1", REG_DWORD, "\1\0\0\0", 4));
    ASSERT_TRUE(SetValueRaw("", "v2", REG_DWORD, "\2\0\0\0", 4));
    ASSERT_TRUE(SetValueRaw("", "v3", REG_DWORD, "\3\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

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
    ASSERT_TRUE(SetValueRaw("", "a", REG_BINARY, "12345678", 8));
    ASSERT_TRUE(SetValueRaw("", "b", REG_BINARY, "1", 1));
    ASSERT_TRUE(SetValueRaw("", "c", REG_BINARY, "12", 2));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    BYTE data[4];
    DWORD type = 0;
    DWORD size = sizeof data;
    EXPECT_LAST_ERROR(ERROR_MORE_DATA, key.NextValue(&type, data, &size, true));

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
        ASSERT_TRUE(CreateKeyRaw(name));
    }
    RegistryKey key;
    ASSERT_TRUE(key.Open(FullPathOf("one").c_str()));
    ASSERT_STREQ("x", key.NextSubKey(true));
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenSubKey("two"));
    EXPECT_STREQ("q", key.NextSubKey(false));
    EXPECT_STREQ("p", key.NextSubKey(true));
}

TEST_F(RegistryKeyValues, NameBufferThatCannotBeAllocatedEndsTheStep) {
    ASSERT_TRUE(CreateKeyRaw("only"));
    ASSERT_TRUE(SetValueRaw("", "only", REG_DWORD, "\1\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    failNextNothrowArray = true;
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY, key.NextSubKey(true));
    EXPECT_FALSE(failNextNothrowArray) << "the step asked for its buffer";
    EXPECT_STREQ("only", key.NextSubKey(false)) << "the failed step did not use up an entry";

    failNextNothrowArray = true;
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY, key.NextValue(nullptr, nullptr, nullptr, true));
    EXPECT_STREQ("only", key.NextValue(nullptr, nullptr, nullptr, false));

    // The stored-value read converts the name into a buffer of its own.
    DWORD value = 0, size = sizeof value;
    failNextNothrowArray = true;
    EXPECT_LAST_ERROR(ERROR_NOT_ENOUGH_MEMORY,
                      key.ReadStoredValue("only", nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_TRUE(key.ReadStoredValue("only", nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    failNextNothrowArray = false;
}

}  // namespace
