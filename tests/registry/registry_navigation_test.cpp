// RegistryKey navigation against the real registry: creating keys by path,
// sub-keys one or several levels down, climbing to the parent and to the root,
// standing on a root (predefined or not), and what failures leave behind.
#include <string>

#include "last_error.h"
#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

using test_support::kLastErrorSentinel;

class RegistryKeyNavigation : public ScratchKeyTest {};

// What a failed or refused call must leave as it was.
struct Snapshot {
    explicit Snapshot(const RegistryKey& key)
        : root(key.RootKey()),
          current(key.CurrentKey()),
          path(key.Path()),
          subKeys(key.SubKeyCount()) {}
    HKEY root;
    HKEY current;
    std::string path;
    DWORD subKeys;
};

void ExpectUnchanged(const Snapshot& before, const RegistryKey& key, const std::string& what) {
    EXPECT_EQ(before.root, key.RootKey()) << what;
    EXPECT_EQ(before.current, key.CurrentKey()) << what;
    EXPECT_EQ(before.path, key.Path()) << what;
    EXPECT_EQ(before.subKeys, key.SubKeyCount()) << what;
}

TEST_F(RegistryKeyNavigation, CreateMakesMissingLevelsAndOpensAnExistingKeyAsItIs) {
    ASSERT_TRUE(CreateKeyRaw("old\\kept"));
    ASSERT_TRUE(SetValueRaw("old", "kept", REG_DWORD, "\x09\0\0\0", 4));
    RegistryKey key;
    // The class text is only handed to the registry. Windows keeps an existing
    // key's class; Wine replaces it, so it is not examined here.
    ASSERT_TRUE(key.Create(FullPathOf("old").c_str(), "NewClass"));
    EXPECT_EQ(1u, key.SubKeyCount()) << "the existing key is opened, not replaced";
    EXPECT_EQ(1u, key.ValueCount());
    EXPECT_EQ(FullPathOf("old"), key.Path());
    HKEY oldHandle = key.CurrentKey();

    ASSERT_LAST_ERROR(ERROR_SUCCESS, key.Create(FullPathOf("new\\deeper").c_str(), "NewClass"));
    EXPECT_TRUE(KeyExistsRaw("new\\deeper"));
    EXPECT_STREQ("NewClass", key.ClassName());
    EXPECT_EQ(FullPathOf("new\\deeper"), key.Path());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());
    EXPECT_FALSE(IsOpenKeyHandle(oldHandle)) << "the previous key is closed";

    ASSERT_TRUE(key.Create(FullPathOf("plain").c_str(), nullptr));
    EXPECT_STREQ("", key.ClassName());
}

TEST_F(RegistryKeyNavigation, SubKeysOpenAndCreateOneOrSeveralLevelsDown) {
    ASSERT_TRUE(CreateKeyRaw("a\\b"));
    ASSERT_TRUE(CreateKeyRaw("a\\b\\c1"));
    ASSERT_TRUE(CreateKeyRaw("a\\b\\c2"));
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    HKEY scratchHandle = key.CurrentKey();

    ASSERT_LAST_ERROR(ERROR_SUCCESS, key.OpenSubKey("a\\b"));
    EXPECT_EQ(FullPathOf("a\\b"), key.Path());
    EXPECT_EQ(2u, key.SubKeyCount()) << "counters describe the new key";
    EXPECT_FALSE(IsOpenKeyHandle(scratchHandle));

    ASSERT_TRUE(key.CreateSubKey("x\\y", "Made"));
    EXPECT_TRUE(KeyExistsRaw("a\\b\\x\\y"));
    EXPECT_EQ(FullPathOf("a\\b\\x\\y"), key.Path());
    EXPECT_STREQ("Made", key.ClassName());

    // An existing sub-key is opened, not replaced.
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    ASSERT_TRUE(key.CreateSubKey("a", nullptr));
    EXPECT_EQ(FullPathOf("a"), key.Path());
    EXPECT_EQ(1u, key.SubKeyCount());
}

TEST_F(RegistryKeyNavigation, SubKeyOperationsNeedAKeyAndLeaveTheObjectUntouched) {
    RegistryKey key;
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenSubKey("Software"));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.CreateSubKey("Software", nullptr));

    // Never held a key: nothing to climb from, even once a failed Open has set
    // the root.
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenParent());
    EXPECT_EQ(nullptr, key.RootKey());
    EXPECT_FALSE(key.Open("HKEY_LOCAL_MACHINE\\SorvaneNoSuchKey"));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenParent());
    EXPECT_EQ(HKEY_LOCAL_MACHINE, key.RootKey());
    EXPECT_EQ(nullptr, key.CurrentKey());
    EXPECT_STREQ("", key.Path());
}

TEST_F(RegistryKeyNavigation, FailuresKeepTheCurrentKeyAndReportTheRegistryCode) {
    ASSERT_TRUE(CreateKeyRaw("p\\q\\r"));
    // A non-volatile key cannot be created below a volatile one.
    ASSERT_TRUE(CreateKeyRaw("p\\q\\r\\volatile", nullptr, REG_OPTION_VOLATILE));

    RegistryKey key;
    ASSERT_TRUE(key.Open(FullPathOf("p\\q\\r").c_str()));
    const Snapshot before(key);
    struct {
        const char* what;
        bool (*call)(RegistryKey&, const std::string&);
        LONG expected;
    } failures[] = {
        {"OpenSubKey of a missing key",
         [](RegistryKey& k, const std::string&) { return k.OpenSubKey("missing"); },
         ERROR_FILE_NOT_FOUND},
        {"CreateSubKey below a volatile key",
         [](RegistryKey& k, const std::string&) { return k.CreateSubKey("volatile\\x", nullptr); },
         ERROR_CHILD_MUST_BE_VOLATILE},
        {"Create below a volatile key",
         [](RegistryKey& k, const std::string& f) {
             return k.Create((f + "\\p\\q\\r\\volatile\\x").c_str(), nullptr);
         },
         ERROR_CHILD_MUST_BE_VOLATILE},
        {"AttachRoot of a handle the registry does not know",
         [](RegistryKey& k, const std::string&) {
             return k.AttachRoot(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x3ffffff0)));
         },
         ERROR_INVALID_HANDLE},
    };
    for (const auto& failure : failures) {
        EXPECT_LAST_ERROR(failure.expected, failure.call(key, scratchFullPath)) << failure.what;
        ExpectUnchanged(before, key, failure.what);
    }
    EXPECT_TRUE(IsOpenKeyHandle(key.CurrentKey()));

    // The parent is opened from the root by its text: once that text names a
    // missing key, the climb fails and the current key stays.
    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyA(HKEY_CURRENT_USER, SubPathOf("p\\q\\r\\volatile").c_str()));
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenSubKey("q\\r"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, SubPathOf("p").c_str()));
    const Snapshot orphan(key);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND, key.OpenParent());
    ExpectUnchanged(orphan, key, "OpenParent of a deleted parent");
}

// Sub-keys that would make `path` longer than 255 bytes are refused before the
// registry is asked; 255 bytes exactly is still joined.
TEST_F(RegistryKeyNavigation, SubKeysThatWouldOverrunThePathAreRefused) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(scratchFullPath.c_str()));
    const size_t room = RegistryKey::MaxPathLength - scratchFullPath.size() - 1;
    const std::string fits(room, 'f');
    const std::string overruns(room + 1, 'o');
    const Snapshot before(key);

    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.CreateSubKey(overruns.c_str(), nullptr));
    EXPECT_FALSE(KeyExistsRaw(overruns)) << "refused before the registry was asked";
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenSubKey(overruns.c_str()));
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenSubKey(nullptr));
    ExpectUnchanged(before, key, "refused sub-keys");

    ASSERT_TRUE(key.CreateSubKey(fits.c_str(), nullptr));
    EXPECT_EQ(scratchFullPath + "\\" + fits, key.Path());
    EXPECT_EQ(255u, std::string(key.Path()).size());
    EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenSubKey("x"))
        << "a full path takes no further level";
}

// A scratch key below HKEY_LOCAL_MACHINE, for walks up to that root and for
// keys a climb must not wander into; deleted before and after.
class MachineScratch {
  public:
    explicit MachineScratch(const std::string& subPath = "SOFTWARE\\SorvaneNavigationTest")
        : subPath(subPath) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, subPath.c_str());
    }
    ~MachineScratch() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, subPath.c_str()); }
    // Creates `relative` below the scratch key, volatile if asked.
    bool CreateKeyRaw(const std::string& relative, DWORD options = REG_OPTION_NON_VOLATILE) {
        HKEY made;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (subPath + "\\" + relative).c_str(), 0, nullptr,
                            options, KEY_ALL_ACCESS, nullptr, &made, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(made);
        return true;
    }
    bool HasValue(const std::string& relative, const char* name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (subPath + "\\" + relative).c_str(), 0, KEY_READ,
                          &key) != ERROR_SUCCESS) {
            return false;
        }
        LONG r = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return r == ERROR_SUCCESS;
    }
    // Below HKEY_LOCAL_MACHINE.
    const std::string subPath;
};

// A failed Open or Create replaces the root before the registry is asked. The
// climb that follows still goes by the root `path` names: here the same keys
// exist below HKEY_LOCAL_MACHINE too, so climbing under the replaced root
// would succeed there, and the next write would land in the other hive.
TEST_F(RegistryKeyNavigation, ClimbStaysInTheHiveItsPathNames) {
    MachineScratch machine(scratchSubPath);
    ASSERT_TRUE(machine.CreateKeyRaw("X\\Y\\Z"));
    ASSERT_TRUE(machine.CreateKeyRaw("volatile", REG_OPTION_VOLATILE));
    ASSERT_TRUE(CreateKeyRaw("X\\Y\\Z"));
    const std::string machineFull = "HKEY_LOCAL_MACHINE\\" + scratchSubPath;
    struct {
        std::string failing;
        bool create;
        DWORD expected;
    } failures[] = {
        {machineFull + "\\NoSuch", false, ERROR_FILE_NOT_FOUND},
        {"HKEY_CURRENT_CONFIG\\SorvaneNoSuchKey", false, ERROR_FILE_NOT_FOUND},
        {machineFull + "\\volatile\\x", true, ERROR_CHILD_MUST_BE_VOLATILE},
    };
    DWORD written = 0;
    for (const auto& f : failures) {
        RegistryKey key;
        ASSERT_TRUE(key.Open(FullPathOf("X\\Y\\Z").c_str()));
        const char* failing = f.failing.c_str();
        ASSERT_LAST_ERROR(f.expected, f.create ? key.Create(failing, nullptr) : key.Open(failing))
            << failing;
        ASSERT_NE(HKEY_CURRENT_USER, key.RootKey()) << "the failed call replaced the root";

        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.OpenParent()) << failing;
        EXPECT_EQ(FullPathOf("X\\Y"), key.Path()) << failing;
        EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey()) << failing;
        ASSERT_TRUE(key.WriteDword("landed", ++written)) << failing;
        DWORD type;
        std::string data;
        EXPECT_TRUE(ReadValueRaw("X\\Y", "landed", &type, &data)) << failing;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&written), 4), data) << failing;
        EXPECT_FALSE(machine.HasValue("X\\Y", "landed")) << failing;
    }

    // One level below the root, the climb attaches the root `path` names.
    RegistryKey key;
    ASSERT_TRUE(key.Open("HKEY_CURRENT_USER\\Software"));
    ASSERT_FALSE(key.Open((machineFull + "\\NoSuch").c_str()));
    ASSERT_TRUE(key.OpenParent());
    EXPECT_STREQ("HKEY_CURRENT_USER", key.Path());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());
    EXPECT_EQ(HKEY_CURRENT_USER, key.CurrentKey());
}

TEST_F(RegistryKeyNavigation, ClimbsFromThreeLevelsBelowTheMachineRootToTheRoot) {
    MachineScratch machine;
    ASSERT_TRUE(machine.CreateKeyRaw("Third"));

    RegistryKey key;
    ASSERT_TRUE(key.Open(("HKEY_LOCAL_MACHINE\\" + machine.subPath + "\\Third").c_str()));
    const char* expected[] = {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\SorvaneNavigationTest",
        "HKEY_LOCAL_MACHINE\\SOFTWARE",
        "HKEY_LOCAL_MACHINE",
    };
    for (const char* path : expected) {
        HKEY climbedFrom = key.CurrentKey();
        SetLastError(kLastErrorSentinel);
        ASSERT_TRUE(key.OpenParent()) << path;
        EXPECT_NE(kLastErrorSentinel, GetLastError()) << path;
        EXPECT_EQ(path, std::string(key.Path()));
        EXPECT_EQ(HKEY_LOCAL_MACHINE, key.RootKey());
        EXPECT_FALSE(IsOpenKeyHandle(climbedFrom)) << "left behind at " << path;
    }
    EXPECT_GT(key.SubKeyCount(), 0u) << "standing on the machine root itself";

    EXPECT_LAST_ERROR(kLastErrorSentinel, key.OpenParent())
        << "nothing above a root, and the last error is left alone there";
    EXPECT_STREQ("HKEY_LOCAL_MACHINE", key.Path());
}

TEST_F(RegistryKeyNavigation, TrailingBackslashClimbsToTheKeyItself) {
    ASSERT_TRUE(SetValueRaw("", "marker", REG_DWORD, "\x05\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open((scratchFullPath + "\\").c_str()));
    ASSERT_TRUE(key.OpenParent());
    EXPECT_EQ(scratchFullPath, key.Path());
    DWORD marker = 0;
    EXPECT_TRUE(key.ReadDword("marker", &marker));
    EXPECT_EQ(5u, marker) << "the same key, without the trailing backslash";

    // A root name with one backslash climbs to the root itself.
    ASSERT_TRUE(key.Open("HKEY_CURRENT_USER\\"));
    ASSERT_TRUE(key.OpenParent());
    EXPECT_STREQ("HKEY_CURRENT_USER", key.Path());
}

TEST_F(RegistryKeyNavigation, AttachRootSwitchesRootsAndClosesBothOldHandles) {
    RegistryKey key;
    ASSERT_TRUE(key.Open("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    HKEY softwareHandle = key.CurrentKey();

    SetLastError(kLastErrorSentinel);
    ASSERT_TRUE(key.AttachRoot(HKEY_CURRENT_USER));
    EXPECT_NE(kLastErrorSentinel, GetLastError());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());
    EXPECT_STREQ("HKEY_CURRENT_USER", key.Path());
    EXPECT_FALSE(IsOpenKeyHandle(softwareHandle));
    // For a predefined key the registry hands back that key's own handle.
    EXPECT_EQ(HKEY_CURRENT_USER, key.CurrentKey());

    // From the root, sub-keys are opened with full access as anywhere else.
    ASSERT_TRUE(key.OpenSubKey(scratchSubPath.c_str()));
    EXPECT_EQ(scratchFullPath, key.Path());
    EXPECT_TRUE(key.WriteDword("written", 7));
}

// A root handle outside the predefined keys has no name: its text is empty and
// keys below it read "\child". The object owns that handle from then on, keeps
// it open while it climbs, and closes it once, when destroyed. The counters
// differ at each step, and the last error is the refresh's own code, so a
// root the object could not read would show.
TEST_F(RegistryKeyNavigation, ARootThatIsNotPredefinedIsKeptOpenWhileClimbing) {
    ASSERT_TRUE(CreateKeyRaw("child\\grandchild"));
    ASSERT_TRUE(CreateKeyRaw("other"));
    HKEY scratchHandle = OpenKeyRaw("");
    ASSERT_NE(nullptr, scratchHandle);
    {
        RegistryKey key;
        ASSERT_TRUE(key.Open(FullPathOf("child").c_str()));
        ASSERT_EQ(1u, key.SubKeyCount());
        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.AttachRoot(scratchHandle));
        EXPECT_STREQ("", key.Path()) << "the previous key's text is gone";
        EXPECT_EQ(scratchHandle, key.RootKey());
        EXPECT_EQ(2u, key.SubKeyCount());

        ASSERT_TRUE(key.OpenSubKey("child\\grandchild"));
        EXPECT_STREQ("\\child\\grandchild", key.Path());
        EXPECT_EQ(0u, key.SubKeyCount());
        ASSERT_TRUE(key.OpenParent());
        EXPECT_STREQ("\\child", key.Path());
        EXPECT_EQ(1u, key.SubKeyCount());
        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.OpenParent())
            << "one level below the root: attaches it again";
        EXPECT_STREQ("", key.Path());
        EXPECT_EQ(scratchHandle, key.RootKey());
        EXPECT_TRUE(IsOpenKeyHandle(scratchHandle)) << "the root handle was closed while kept";
        EXPECT_NE(scratchHandle, key.CurrentKey());
        EXPECT_EQ(2u, key.SubKeyCount());
        EXPECT_LAST_ERROR(kLastErrorSentinel, key.OpenParent()) << "nothing above the root";

        // Standing on the root, the object reads, writes and walks as anywhere.
        ASSERT_LAST_ERROR(ERROR_SUCCESS, key.WriteDword("onRoot", 3));
        DWORD value = 0;
        EXPECT_TRUE(key.ReadDword("onRoot", &value));
        EXPECT_EQ(3u, value);
        EXPECT_LAST_ERROR(ERROR_SUCCESS, key.NextSubKey(true));
        DWORD type;
        std::string data;
        EXPECT_TRUE(ReadValueRaw("", "onRoot", &type, &data));

        // Attaching the current key itself hands that handle over as the root.
        ASSERT_TRUE(key.OpenSubKey("child"));
        HKEY childHandle = key.CurrentKey();
        ASSERT_TRUE(key.AttachRoot(childHandle));
        EXPECT_EQ(childHandle, key.RootKey());
        EXPECT_TRUE(IsOpenKeyHandle(childHandle));
        EXPECT_FALSE(IsOpenKeyHandle(scratchHandle)) << "the replaced root is closed";
        ASSERT_TRUE(key.OpenSubKey("grandchild"));
        EXPECT_STREQ("\\grandchild", key.Path());
    }
}

// Once a failed Open or Create has put a predefined root in place of one that
// was not (and closed it), a path that starts with a backslash names no root
// the object still knows: the climb is refused and nothing changes.
TEST_F(RegistryKeyNavigation, ClimbBelowARootThatWasReplacedIsRefused) {
    ASSERT_TRUE(CreateKeyRaw("child\\grandchild"));
    // Create fails at the registry below a volatile key.
    MachineScratch machine(scratchSubPath);
    ASSERT_TRUE(machine.CreateKeyRaw("volatile", REG_OPTION_VOLATILE));
    const std::string failing = "HKEY_LOCAL_MACHINE\\" + SubPathOf("volatile\\x");
    struct {
        const char* below;
        bool create;
    } cases[] = {{"child\\grandchild", false}, {"child", false}, {"child", true}};
    for (const auto& c : cases) {
        const std::string what =
            std::string(c.below) + (c.create ? " after Create" : " after Open");
        HKEY scratchHandle = OpenKeyRaw("");
        ASSERT_NE(nullptr, scratchHandle);
        RegistryKey key;
        ASSERT_TRUE(key.AttachRoot(scratchHandle));
        ASSERT_TRUE(key.OpenSubKey(c.below));
        ASSERT_FALSE(c.create ? key.Create(failing.c_str(), nullptr) : key.Open(failing.c_str()));
        ASSERT_EQ(HKEY_LOCAL_MACHINE, key.RootKey()) << what;
        const Snapshot before(key);
        EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER, key.OpenParent()) << what;
        ExpectUnchanged(before, key, what);
        EXPECT_TRUE(key.WriteDword("stillHere", 1)) << what;
    }
}

}  // namespace
