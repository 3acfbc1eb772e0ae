// RegistryKey navigation against the real registry: creating keys by path,
// sub-keys one or several levels down, climbing to the parent and to the root,
// standing on a root (predefined or not), and what failures leave behind.
#include <string>

#include "registry/registry_key.h"
#include "scratch_key.h"

namespace {

class RegistryKeyNavigation : public ScratchKeyTest {};

const DWORD kUntouched = 12345;

// The registry no longer knows a handle that has been closed.
bool IsOpenHandle(HKEY key) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

DWORD LastError() { return GetLastError(); }

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
    ASSERT_TRUE(MakeKey("old\\kept"));
    ASSERT_TRUE(SetRaw("old", "kept", REG_DWORD, "\x09\0\0\0", 4));
    RegistryKey key;
    // The class text is only handed to the registry. Windows keeps an existing
    // key's class; Wine replaces it, so it is not examined here.
    ASSERT_TRUE(key.Create((full + "\\old").c_str(), "NewClass"));
    EXPECT_EQ(1u, key.SubKeyCount()) << "the existing key is opened, not replaced";
    EXPECT_EQ(1u, key.ValueCount());
    EXPECT_EQ(full + "\\old", key.Path());
    HKEY first = key.CurrentKey();

    SetLastError(kUntouched);
    ASSERT_TRUE(key.Create((full + "\\new\\deeper").c_str(), "NewClass"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
    EXPECT_TRUE(KeyExists("new\\deeper"));
    EXPECT_STREQ("NewClass", key.ClassName());
    EXPECT_EQ(full + "\\new\\deeper", key.Path());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());
    EXPECT_FALSE(IsOpenHandle(first)) << "the previous key is closed";

    ASSERT_TRUE(key.Create((full + "\\plain").c_str(), nullptr));
    EXPECT_STREQ("", key.ClassName());
}

TEST_F(RegistryKeyNavigation, CreateRefusesMalformedPathsWithoutAskingTheRegistry) {
    const std::string tooLong = full + "\\" + std::string(256 - full.size() - 1, 'k');
    ASSERT_EQ(256u, tooLong.size());
    const char* refused[] = {"HKEY_CURRENT_USER", "HKCU\\Software\\SorvaneNav",
                             "hkey_current_user\\Software\\SorvaneNav", tooLong.c_str(), nullptr};
    for (const char* path : refused) {
        RegistryKey key;
        SetLastError(kUntouched);
        EXPECT_FALSE(key.Create(path, nullptr)) << (path ? path : "(null)");
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
        EXPECT_EQ(nullptr, key.RootKey());
        EXPECT_EQ(nullptr, key.CurrentKey());
    }
    EXPECT_FALSE(KeyExists(std::string(256 - full.size() - 1, 'k')));
}

TEST_F(RegistryKeyNavigation, SubKeysOpenAndCreateOneOrSeveralLevelsDown) {
    ASSERT_TRUE(MakeKey("a\\b"));
    ASSERT_TRUE(MakeKey("a\\b\\c1"));
    ASSERT_TRUE(MakeKey("a\\b\\c2"));
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    HKEY top = key.CurrentKey();

    SetLastError(kUntouched);
    ASSERT_TRUE(key.OpenSubKey("a\\b"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
    EXPECT_EQ(full + "\\a\\b", key.Path());
    EXPECT_EQ(2u, key.SubKeyCount()) << "counters describe the new key";
    EXPECT_FALSE(IsOpenHandle(top));

    ASSERT_TRUE(key.CreateSubKey("x\\y", "Made"));
    EXPECT_TRUE(KeyExists("a\\b\\x\\y"));
    EXPECT_EQ(full + "\\a\\b\\x\\y", key.Path());
    EXPECT_STREQ("Made", key.ClassName());

    // An existing sub-key is opened, not replaced.
    ASSERT_TRUE(key.Open(full.c_str()));
    ASSERT_TRUE(key.CreateSubKey("a", nullptr));
    EXPECT_EQ(full + "\\a", key.Path());
    EXPECT_EQ(1u, key.SubKeyCount());
}

TEST_F(RegistryKeyNavigation, SubKeyOperationsNeedAKeyAndLeaveTheObjectUntouched) {
    RegistryKey key;
    SetLastError(kUntouched);
    EXPECT_FALSE(key.OpenSubKey("Software"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    EXPECT_FALSE(key.CreateSubKey("Software", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());

    // Never held a key: nothing to climb from, even once a failed Open has set
    // the root.
    SetLastError(kUntouched);
    EXPECT_FALSE(key.OpenParent());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    EXPECT_EQ(nullptr, key.RootKey());
    EXPECT_FALSE(key.Open("HKEY_LOCAL_MACHINE\\SorvaneNoSuchKey"));
    SetLastError(kUntouched);
    EXPECT_FALSE(key.OpenParent());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    EXPECT_EQ(HKEY_LOCAL_MACHINE, key.RootKey());
    EXPECT_EQ(nullptr, key.CurrentKey());
    EXPECT_STREQ("", key.Path());
}

TEST_F(RegistryKeyNavigation, FailuresKeepTheCurrentKeyAndReportTheRegistryCode) {
    ASSERT_TRUE(MakeKey("p\\q\\r"));
    // A non-volatile key cannot be created below a volatile one.
    HKEY volatileKey;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, (sub + "\\p\\q\\r\\volatile").c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr));
    RegCloseKey(volatileKey);

    RegistryKey key;
    ASSERT_TRUE(key.Open((full + "\\p\\q\\r").c_str()));
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
        SetLastError(kUntouched);
        EXPECT_FALSE(failure.call(key, full)) << failure.what;
        EXPECT_EQ(static_cast<DWORD>(failure.expected), LastError()) << failure.what;
        ExpectUnchanged(before, key, failure.what);
    }
    EXPECT_TRUE(IsOpenHandle(key.CurrentKey()));

    // The parent is opened from the root by its text: once that text names a
    // missing key, the climb fails and the current key stays.
    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyA(HKEY_CURRENT_USER, (sub + "\\p\\q\\r\\volatile").c_str()));
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenParent());
    ASSERT_TRUE(key.OpenSubKey("q\\r"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, (sub + "\\p").c_str()));
    const Snapshot orphan(key);
    EXPECT_FALSE(key.OpenParent());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), LastError());
    ExpectUnchanged(orphan, key, "OpenParent of a deleted parent");
}

// Sub-keys that would make `path` longer than 255 bytes are refused before the
// registry is asked; 255 bytes exactly is still joined.
TEST_F(RegistryKeyNavigation, SubKeysThatWouldOverrunThePathAreRefused) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(full.c_str()));
    const size_t room = RegistryKey::MaxPathLength - full.size() - 1;
    const std::string fits(room, 'f');
    const std::string overruns(room + 1, 'o');
    const Snapshot before(key);

    SetLastError(kUntouched);
    EXPECT_FALSE(key.CreateSubKey(overruns.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    EXPECT_FALSE(KeyExists(overruns)) << "refused before the registry was asked";
    EXPECT_FALSE(key.OpenSubKey(overruns.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    EXPECT_FALSE(key.OpenSubKey(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
    ExpectUnchanged(before, key, "refused sub-keys");

    ASSERT_TRUE(key.CreateSubKey(fits.c_str(), nullptr));
    EXPECT_EQ(full + "\\" + fits, key.Path());
    EXPECT_EQ(255u, std::string(key.Path()).size());
    EXPECT_FALSE(key.OpenSubKey("x")) << "a full path takes no further level";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError());
}

// A scratch key below HKEY_LOCAL_MACHINE, for walks up to that root and for
// keys a climb must not wander into; deleted before and after.
class MachineScratch {
  public:
    explicit MachineScratch(const std::string& sub = "SOFTWARE\\SorvaneNavigationTest") : sub(sub) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, sub.c_str());
    }
    ~MachineScratch() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, sub.c_str()); }
    // Creates `relative` below the scratch key, volatile if asked.
    bool MakeKey(const std::string& relative, DWORD options = REG_OPTION_NON_VOLATILE) {
        HKEY made;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (sub + "\\" + relative).c_str(), 0, nullptr,
                            options, KEY_ALL_ACCESS, nullptr, &made, nullptr) != ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(made);
        return true;
    }
    bool HasValue(const std::string& relative, const char* name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (sub + "\\" + relative).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        LONG r = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return r == ERROR_SUCCESS;
    }
    const std::string sub;
};

// A failed Open or Create replaces the root before the registry is asked. The
// climb that follows still goes by the root `path` names: here the same keys
// exist below HKEY_LOCAL_MACHINE too, so climbing under the replaced root
// would succeed there, and the next write would land in the other hive.
TEST_F(RegistryKeyNavigation, ClimbStaysInTheHiveItsPathNames) {
    MachineScratch machine(sub);
    ASSERT_TRUE(machine.MakeKey("X\\Y\\Z"));
    ASSERT_TRUE(machine.MakeKey("volatile", REG_OPTION_VOLATILE));
    ASSERT_TRUE(MakeKey("X\\Y\\Z"));
    const std::string machineFull = "HKEY_LOCAL_MACHINE\\" + sub;
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
        ASSERT_TRUE(key.Open((full + "\\X\\Y\\Z").c_str()));
        const char* failing = f.failing.c_str();
        ASSERT_FALSE(f.create ? key.Create(failing, nullptr) : key.Open(failing)) << failing;
        ASSERT_EQ(f.expected, LastError()) << failing;
        ASSERT_NE(HKEY_CURRENT_USER, key.RootKey()) << "the failed call replaced the root";

        SetLastError(kUntouched);
        ASSERT_TRUE(key.OpenParent()) << failing;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError()) << failing;
        EXPECT_EQ(full + "\\X\\Y", key.Path()) << failing;
        EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey()) << failing;
        ASSERT_TRUE(key.WriteDword("landed", ++written)) << failing;
        DWORD type;
        std::string data;
        EXPECT_TRUE(GetRaw("X\\Y", "landed", &type, &data)) << failing;
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
    ASSERT_TRUE(machine.MakeKey("Third"));

    RegistryKey key;
    ASSERT_TRUE(key.Open(("HKEY_LOCAL_MACHINE\\" + machine.sub + "\\Third").c_str()));
    const char* expected[] = {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\SorvaneNavigationTest",
        "HKEY_LOCAL_MACHINE\\SOFTWARE",
        "HKEY_LOCAL_MACHINE",
    };
    for (const char* path : expected) {
        HKEY before = key.CurrentKey();
        SetLastError(kUntouched);
        ASSERT_TRUE(key.OpenParent()) << path;
        EXPECT_EQ(path, std::string(key.Path()));
        EXPECT_EQ(HKEY_LOCAL_MACHINE, key.RootKey());
        EXPECT_FALSE(IsOpenHandle(before)) << "left behind at " << path;
        EXPECT_NE(kUntouched, LastError()) << path;
    }
    EXPECT_GT(key.SubKeyCount(), 0u) << "standing on the machine root itself";

    SetLastError(kUntouched);
    EXPECT_FALSE(key.OpenParent()) << "nothing above a root";
    EXPECT_EQ(kUntouched, LastError()) << "the last error is left alone at a root";
    EXPECT_STREQ("HKEY_LOCAL_MACHINE", key.Path());
}

TEST_F(RegistryKeyNavigation, TrailingBackslashClimbsToTheKeyItself) {
    ASSERT_TRUE(SetRaw("", "marker", REG_DWORD, "\x05\0\0\0", 4));
    RegistryKey key;
    ASSERT_TRUE(key.Open((full + "\\").c_str()));
    ASSERT_TRUE(key.OpenParent());
    EXPECT_EQ(full, key.Path());
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
    HKEY old = key.CurrentKey();

    SetLastError(kUntouched);
    ASSERT_TRUE(key.AttachRoot(HKEY_CURRENT_USER));
    EXPECT_NE(kUntouched, LastError());
    EXPECT_EQ(HKEY_CURRENT_USER, key.RootKey());
    EXPECT_STREQ("HKEY_CURRENT_USER", key.Path());
    EXPECT_FALSE(IsOpenHandle(old));
    // For a predefined key the registry hands back that key's own handle.
    EXPECT_EQ(HKEY_CURRENT_USER, key.CurrentKey());

    // From the root, sub-keys are opened with full access as anywhere else.
    ASSERT_TRUE(key.OpenSubKey(sub.c_str()));
    EXPECT_EQ(full, key.Path());
    EXPECT_TRUE(key.WriteDword("written", 7));
}

// A root handle outside the predefined keys has no name: its text is empty and
// keys below it read "\child". The object owns that handle from then on, keeps
// it open while it climbs, and closes it once, when destroyed. The counters
// differ at each step, and the last error is the refresh's own code, so a
// root the object could not read would show.
TEST_F(RegistryKeyNavigation, ARootThatIsNotPredefinedIsKeptOpenWhileClimbing) {
    ASSERT_TRUE(MakeKey("child\\grandchild"));
    ASSERT_TRUE(MakeKey("other"));
    HKEY scratch;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_ALL_ACCESS, &scratch));
    {
        RegistryKey key;
        ASSERT_TRUE(key.Open((full + "\\child").c_str()));
        ASSERT_EQ(1u, key.SubKeyCount());
        SetLastError(kUntouched);
        ASSERT_TRUE(key.AttachRoot(scratch));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
        EXPECT_STREQ("", key.Path()) << "the previous key's text is gone";
        EXPECT_EQ(scratch, key.RootKey());
        EXPECT_EQ(2u, key.SubKeyCount());

        ASSERT_TRUE(key.OpenSubKey("child\\grandchild"));
        EXPECT_STREQ("\\child\\grandchild", key.Path());
        EXPECT_EQ(0u, key.SubKeyCount());
        ASSERT_TRUE(key.OpenParent());
        EXPECT_STREQ("\\child", key.Path());
        EXPECT_EQ(1u, key.SubKeyCount());
        SetLastError(kUntouched);
        ASSERT_TRUE(key.OpenParent()) << "one level below the root: attaches it again";
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), LastError());
        EXPECT_STREQ("", key.Path());
        EXPECT_EQ(scratch, key.RootKey());
        EXPECT_TRUE(IsOpenHandle(scratch)) << "the root handle was closed while kept";
        EXPECT_NE(scratch, key.CurrentKey());
        EXPECT_EQ(2u, key.SubKeyCount());
        SetLastError(kUntouched);
        EXPECT_FALSE(key.OpenParent());
        EXPECT_EQ(kUntouched, LastError());

        // Standing on the root, the object reads, writes and walks as anywhere.
        ASSERT_TRUE(key.WriteDword("onRoot", 3)) << "error " << LastError();
        DWORD value = 0;
        EXPECT_TRUE(key.ReadDword("onRoot", &value));
        EXPECT_EQ(3u, value);
        EXPECT_NE(nullptr, key.NextSubKey(true)) << "error " << LastError();
        DWORD type;
        std::string data;
        EXPECT_TRUE(GetRaw("", "onRoot", &type, &data));

        // Attaching the current key itself hands that handle over as the root.
        ASSERT_TRUE(key.OpenSubKey("child"));
        HKEY current = key.CurrentKey();
        ASSERT_TRUE(key.AttachRoot(current));
        EXPECT_EQ(current, key.RootKey());
        EXPECT_TRUE(IsOpenHandle(current));
        EXPECT_FALSE(IsOpenHandle(scratch)) << "the replaced root is closed";
        ASSERT_TRUE(key.OpenSubKey("grandchild"));
        EXPECT_STREQ("\\grandchild", key.Path());
    }
}

// Once a failed Open or Create has put a predefined root in place of one that
// was not (and closed it), a path that starts with a backslash names no root
// the object still knows: the climb is refused and nothing changes.
TEST_F(RegistryKeyNavigation, ClimbBelowARootThatWasReplacedIsRefused) {
    ASSERT_TRUE(MakeKey("child\\grandchild"));
    // Create fails at the registry below a volatile key.
    MachineScratch machine(sub);
    ASSERT_TRUE(machine.MakeKey("volatile", REG_OPTION_VOLATILE));
    const std::string failing = "HKEY_LOCAL_MACHINE\\" + sub + "\\volatile\\x";
    struct {
        const char* below;
        bool create;
    } cases[] = {{"child\\grandchild", false}, {"child", false}, {"child", true}};
    for (const auto& c : cases) {
        const std::string what =
            std::string(c.below) + (c.create ? " after Create" : " after Open");
        HKEY scratch;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_ALL_ACCESS, &scratch));
        RegistryKey key;
        ASSERT_TRUE(key.AttachRoot(scratch));
        ASSERT_TRUE(key.OpenSubKey(c.below));
        ASSERT_FALSE(c.create ? key.Create(failing.c_str(), nullptr) : key.Open(failing.c_str()));
        ASSERT_EQ(HKEY_LOCAL_MACHINE, key.RootKey()) << what;
        const Snapshot before(key);
        SetLastError(kUntouched);
        EXPECT_FALSE(key.OpenParent()) << what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), LastError()) << what;
        ExpectUnchanged(before, key, what);
        EXPECT_TRUE(key.WriteDword("stillHere", 1)) << what;
    }
}

}  // namespace
