// RegistryKey's core against the real registry: opening by path, the refusals
// the object makes itself, key information, and string values.
#include <cstring>
#include <string>

#include "last_error.h"
#include "path_model.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

class RegistryKeyCore : public ScratchKeyTest {};

// Pads `prefix` with key-name characters to exactly `length` bytes.
std::string PathOfLength(const std::string& prefix, size_t length) {
    std::string path = prefix + "\\";
    while (path.size() < length) path += 'k';
    return path.substr(0, length);
}

TEST_F(RegistryKeyCore, ConstructedObjectHoldsNothing) {
    RegistryKey key;
    EXPECT_EQ(nullptr, key.CurrentKey());
    EXPECT_EQ(nullptr, key.RootKey());
    EXPECT_STREQ("", key.Path());
    EXPECT_STREQ("", key.ClassName());
}

// Open and Create refuse the same paths themselves, with the root left as it
// was and no key made; the path model the generated paths are judged by
// refuses them too.
TEST_F(RegistryKeyCore, RefusesMalformedPathsWithoutAskingTheRegistry) {
    const std::string tooLong = PathOfLength(scratchFullPath, 256);
    const char* refused[] = {
        "HKEY_LOCAL_MACHINE",            // no backslash
        "hkey_local_machine\\SOFTWARE",  // root name in another letter case
        "HKLM\\SOFTWARE",                // short form
        "HKCU\\Software\\SorvaneTests",
        "HKEY_PERFORMANCE_DATA\\x",  // a predefined key outside the table
        "\\SOFTWARE",                // empty root name
        "",
        tooLong.c_str(),
        nullptr,
    };
    for (const char* path : refused) {
        const std::string shown = path != nullptr ? path : "(null)";
        if (path != nullptr) {
            EXPECT_TRUE(path_model::Judge(path, false).refused) << shown;
        }
        for (bool create : {false, true}) {
            RegistryKey key;
            EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER,
                              create ? key.Create(path, nullptr) : key.Open(path))
                << (create ? "Create " : "Open ") << shown;
            EXPECT_EQ(nullptr, key.CurrentKey()) << shown;
            EXPECT_EQ(nullptr, key.RootKey())
                << "the root is not replaced before it parses: " << shown;
        }
    }
    EXPECT_FALSE(KeyExistsRaw(tooLong.substr(scratchFullPath.size() + 1)));
}

TEST_F(RegistryKeyCore, PathOf255BytesIsParsedAnd256IsRefused) {
    RegistryKey key;
    // 255 bytes parses and reaches the registry, which says the key is missing.
    std::string longest = PathOfLength(scratchFullPath, 255);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.Open(longest.c_str()));
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());

    // Once the key exists, the 255-byte path opens and is kept whole.
    ASSERT_TRUE(CreateKeyRaw(longest.substr(scratchFullPath.size() + 1)));
    EXPECT_TRUE(key.Open(longest.c_str()));
    EXPECT_EQ(longest, key.Path());

    std::string tooLong = PathOfLength(scratchFullPath, 256);
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.Open(tooLong.c_str()));
    EXPECT_EQ(longest, key.Path()) << "a refused open leaves the current key";
}

TEST_F(RegistryKeyCore, EveryRootNameOpensItsPredefinedKey) {
    for (const path_model::Root& root : path_model::kRoots) {
        RegistryKey key;
        std::string path = std::string(root.name) + "\\";
        EXPECT_LAST_ERROR(ERROR_SUCCESS, key.Open(path.c_str())) << path;
        EXPECT_EQ(root.key, key.RootKey()) << path;
        EXPECT_NE(nullptr, key.CurrentKey()) << path;
        EXPECT_EQ(path, key.Path()) << "trailing backslash kept";
    }
}

TEST_F(RegistryKeyCore, MissingKeyKeepsCurrentKeyButReplacesRoot) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    HKEY before = key.CurrentKey();
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND,
                      key.Open("HKEY_LOCAL_MACHINE\\SOFTWARE\\SorvaneNoSuchKey"));
    EXPECT_EQ(before, key.CurrentKey());
    EXPECT_EQ(scratchFullPath, key.Path());
    EXPECT_EQ(HKEY_LOCAL_MACHINE, key.RootKey());
}

TEST_F(RegistryKeyCore, SecondOpenReplacesTheFirstKey) {
    ASSERT_TRUE(CreateKeyRaw("one"));
    ASSERT_TRUE(CreateKeyRaw("two"));
    RegistryKey key;
    ASSERT_TRUE(key.Open(FullPathOf("one").c_str()));
    HKEY oneHandle = key.CurrentKey();
    ASSERT_TRUE(key.Open(FullPathOf("two").c_str()));
    EXPECT_EQ(FullPathOf("two"), key.Path());
    EXPECT_FALSE(IsOpenKeyHandle(oneHandle)) << "the first handle is closed";
}

TEST_F(RegistryKeyCore, OpenFillsClassTextAndCounters) {
    ASSERT_TRUE(CreateKeyRaw("classed", "SorvaneClass"));
    ASSERT_TRUE(CreateKeyRaw("classed\\child-with-long-name"));
    ASSERT_TRUE(CreateKeyRaw("classed\\c2"));
    // Binary data: the registry keeps strings in UTF-16, which would double their size.
    ASSERT_TRUE(SetValueRaw("classed", "v", REG_BINARY, "abcdef", 7));
    ASSERT_TRUE(SetValueRaw("classed", "longer-name", REG_DWORD, "\1\0\0\0", 4));

    RegistryKey key;
    ASSERT_LAST_ERROR(ERROR_SUCCESS, key.Open(FullPathOf("classed").c_str()));
    EXPECT_STREQ("SorvaneClass", key.ClassName());
    EXPECT_EQ(2u, key.SubKeyCount());
    EXPECT_EQ(std::strlen("child-with-long-name"), key.MaxSubKeyNameLength());
    EXPECT_EQ(2u, key.ValueCount());
    EXPECT_EQ(std::strlen("longer-name"), key.MaxValueNameLength());
    EXPECT_EQ(7u, key.MaxValueDataLength());
    FILETIME written = key.LastWriteTime();
    EXPECT_TRUE(written.dwLowDateTime != 0 || written.dwHighDateTime != 0);

    // A key created without class text reports an empty one.
    ASSERT_TRUE(key.Open(FullPathOf("classed\\c2").c_str()));
    EXPECT_STREQ("", key.ClassName());
    EXPECT_EQ(0u, key.SubKeyCount());
}

TEST_F(RegistryKeyCore, ReadValueFitsExactlyAndFailsOneByteShort) {
    ASSERT_TRUE(SetValueRaw("", "text", REG_SZ, "hello", 6));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));

    BYTE buffer[16];
    DWORD size = 6;
    EXPECT_TRUE(key.ReadValue("text", buffer, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(0, std::memcmp("hello", buffer, 6));

    size = 5;
    EXPECT_LAST_ERROR(ERROR_MORE_DATA, key.ReadValue("text", buffer, &size));
    EXPECT_EQ(6u, size) << "the registry reports the size it needs";

    size = sizeof buffer;
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.ReadValue("absent", buffer, &size));

    // The type is not examined: a DWORD reads as its four bytes.
    ASSERT_TRUE(SetValueRaw("", "number", REG_DWORD, "\x07\0\0\0", 4));
    size = sizeof buffer;
    EXPECT_TRUE(key.ReadValue("number", buffer, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(7, buffer[0]);
}

TEST_F(RegistryKeyCore, WriteStringStoresExactlyTheGivenCount) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    // The byte after the count is not zero, so the registry cannot take it
    // for a terminator of its own.
    const BYTE yes[] = {'Y', 'e', 's', 'X'};
    ASSERT_TRUE(key.WriteString("three", yes, 3));
    const BYTE withNul[] = {'Y', 'e', 's', '\0'};
    ASSERT_TRUE(key.WriteString("four", withNul, 4));

    DWORD type;
    std::string data;
    ASSERT_TRUE(ReadValueRaw("", "three", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("Yes", 3), data);
    ASSERT_TRUE(ReadValueRaw("", "four", &type, &data));
    EXPECT_EQ(std::string("Yes\0", 4), data);
}

}  // namespace
