"""The unattended modes as a fleet tool drives them: standard input left open
and silent, the exit code and the last (RESULT) line read, the registry checked
afterwards, a backup restored with Wine's own reg.exe, the audit log read."""

import os
import tempfile
import unittest

from harness import (CLIENT, EXE, GOOD_CLIENT, GOOD_SERVER, SERVER, Session, ToolTestCase, probe,
                     run, seed, values, windows_path, wine_reg)

BROKEN_SERVER = {"Enable Login Auth": "no", "Enable CR Auth": "YES",
                 "LdapSuffix": "dc=old,dc=com"}
BROKEN_CLIENT = {"DNSuffix": "dc=new,dc=com"}
READ_ONLY = "D:P(A;;KR;;;WD)"
FULL_ACCESS = "D:P(A;;KA;;;WD)"
NAMES = [(SERVER, "Enable Login Auth"), (SERVER, "Enable CR Auth"), (SERVER, "LdapSuffix"),
         (CLIENT, "DNSuffix")]


def tool(*args):
    """The tool with standard input open and silent: (exit code, output lines)."""
    code, out = run([EXE, *args])
    return code, out.decode("latin-1").split("\r\n")[:-1]


def stored():
    """The four values exactly as stored (type number, UTF-16 bytes)."""
    args = []
    for key, name in NAMES:
        args += ["dumpw", key, name]
    return dict(zip((name for _, name in NAMES), probe(*args)))


class Check(ToolTestCase):
    def test_compliant_settings(self):
        seed()
        code, lines = tool("/check")
        self.assertEqual(0, code, lines)
        self.assertEqual(["Check OK - Enable Login Auth = Yes", "Check OK - Enable CR Auth = Yes",
                          "Check OK - LdapSuffix = DNSuffix = dc=brimsek,dc=com",
                          "RESULT: compliant"], lines)

    def test_broken_settings_are_reported_not_written_and_long_values_cut(self):
        long_suffix = "dc=" + "x" * 497
        seed(dict(BROKEN_SERVER, LdapSuffix=long_suffix), BROKEN_CLIENT)
        before = values()
        code, lines = tool("-CHECK")
        self.assertEqual(2, code, lines)
        self.assertEqual("RESULT: not compliant - Enable Login Auth is not Yes; Enable CR Auth is "
                         "not Yes; LdapSuffix and DNSuffix differ", lines[-1])
        self.assertIn("CORRECTION NEEDED - two registry key/values below do not match", lines)
        self.assertIn(SERVER_PATH + " = LdapSuffix is currently = " + long_suffix[:100] + "...",
                      lines)
        self.assertFalse([line for line in lines if "WRITING" in line or "Open--" in line], lines)
        self.assertLess(len("\r\n".join(lines)), 2048)
        self.assertEqual(before, values())

    def test_read_only_keys_are_enough_to_check(self):
        seed()
        try:
            for key in (SERVER, CLIENT):
                probe("dacl", key, READ_ONLY)
            self.assertEqual(0, tool("/check")[0])
            # Repairing them is another matter: it fails, and says why.
            seed_values = values()
            code, lines = tool("/repair")
            self.assertEqual(0, code, lines)  # nothing to write
            self.assertEqual(seed_values, values())
        finally:
            for key in (SERVER, CLIENT):
                probe("dacl", key, FULL_ACCESS)

    def test_another_copy_running_fails_the_check(self):
        seed()
        first = Session()
        first.expect("Press (Y)es/(N)o\r\n")
        try:
            self.assertEqual((1, ["RESULT: failed - another copy of Sorvane is running"]),
                             tool("/check"))
        finally:
            first.send("n\n")
            first.finish()

    def test_a_missing_key_fails_without_a_notice(self):
        seed(None, GOOD_CLIENT)
        code, lines = tool("/check")
        self.assertEqual(1, code)
        self.assertEqual([" ERROR - could not open " + SERVER_PATH,
                          "RESULT: failed - could not read the settings"], lines)


SERVER_PATH = r"HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPSRV"
CLIENT_PATH = r"HKEY_LOCAL_MACHINE\SOFTWARE\Brimsek\vexa\QXLDAPClient"


class Repair(ToolTestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="sorvane-")

    def path(self, name):
        return os.path.join(self.folder, name)

    def seed_awkward(self):
        """Values a backup must restore exactly: an expandable string, quotes
        and backslashes, Cyrillic text (stored with reg.exe, which keeps the
        Unicode text it is given)."""
        seed(GOOD_SERVER, GOOD_CLIENT)
        for key, name, kind, data in (
                (SERVER, "Enable Login Auth", "REG_EXPAND_SZ", "%SystemRoot%\\yes"),
                (SERVER, "Enable CR Auth", "REG_SZ", 'say "yes" \\ no'),
                (SERVER, "LdapSuffix", "REG_SZ", "dc=дом,dc=ru"),
                (CLIENT, "DNSuffix", "REG_SZ", "dc=жук,dc=ru")):
            code, out = wine_reg("add", key, "/v", name, "/t", kind, "/d", data, "/f")
            self.assertEqual(0, code, out)

    def test_repair_with_backup_and_log_then_restore(self):
        self.seed_awkward()
        before = stored()
        backup, log = self.path("before.reg"), self.path("audit.log")
        code, lines = tool("/repair", "/suffix:dc=brimsek,dc=com",
                           "/backup:" + windows_path(backup), "/log:" + windows_path(log))
        self.assertEqual(0, code, lines)
        self.assertEqual("RESULT: compliant, 4 changes made", lines[-1])
        self.assertEqual(0, tool("/check")[0])
        with open(backup, "rb") as f:
            text = f.read()
        self.assertTrue(text.startswith(b"\xff\xfeW\0i\0n\0"), text[:20])
        self.assertIn("reg import", text.decode("utf-16"))

        # The same run again: compliant, no write, no second backup needed.
        code, lines = tool("/repair", "/log:" + windows_path(log))
        self.assertEqual((0, "RESULT: compliant, 0 changes made"), (code, lines[-1]))
        with open(log, encoding="utf-8") as f:
            logged = f.read().splitlines()
        self.assertEqual(6, len(logged), logged)
        self.assertIn('Enable CR Auth : "say "yes" \\ no" -> "Yes"', logged[1])
        self.assertIn('LdapSuffix : "dc=дом,dc=ru" -> "dc=brimsek,dc=com"', logged[2])
        self.assertTrue(logged[4].endswith("RESULT: compliant, 4 changes made"), logged)
        self.assertTrue(logged[5].endswith("RESULT: compliant, 0 changes made"), logged)
        for line in logged:
            self.assertRegex(line, r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \S+ \S+ ")

        code, out = wine_reg("import", windows_path(backup))
        self.assertEqual(0, code, out)
        self.assertEqual(before, stored())

    def test_without_a_suffix_rule_two_is_left_and_reported(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        code, lines = tool("/repair")
        self.assertEqual(2, code, lines)
        self.assertEqual("RESULT: not compliant - LdapSuffix and DNSuffix differ (give "
                         "/suffix:VALUE to repair it)", lines[-1])
        after = values()
        self.assertEqual(b"Yes\0", after["Enable CR Auth"][1])
        self.assertEqual(b"dc=old,dc=com\0", after["LdapSuffix"][1])

    def test_whatif_writes_nothing_and_exits_as_check(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        before = values()
        code, lines = tool("/repair", "/whatif", "/suffix:dc=x", "/backup:" +
                           windows_path(self.path("never.reg")))
        self.assertEqual(2, code, lines)
        self.assertIn("WHATIF - would write " + CLIENT_PATH + " = DNSuffix = dc=x", lines)
        self.assertEqual(before, values())
        self.assertFalse(os.path.exists(self.path("never.reg")))

    def test_a_write_refused_part_way_names_what_was_written(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        probe("dacl", CLIENT, READ_ONLY)
        try:
            code, lines = tool("/repair", "/suffix:dc=x")
        finally:
            probe("dacl", CLIENT, FULL_ACCESS)
        self.assertEqual(1, code, lines)
        self.assertEqual("RESULT: failed - could not write " + CLIENT_PATH + " = DNSuffix; "
                         "already written: Enable Login Auth, Enable CR Auth, LdapSuffix",
                         lines[-1])
        after = values()
        self.assertEqual(b"dc=x\0", after["LdapSuffix"][1])
        self.assertEqual(b"dc=new,dc=com\0", after["DNSuffix"][1])

    def test_a_backup_that_cannot_be_written_stops_every_write(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        before = values()
        nowhere = windows_path(self.path("no/such/folder/b.reg"))
        code, lines = tool("/repair", "/backup:" + nowhere)
        self.assertEqual(1, code, lines)
        self.assertEqual("RESULT: failed - could not write the backup " + nowhere +
                         ", nothing was changed", lines[-1])
        self.assertEqual(before, values())
        # The interactive tool says the same and changes nothing either.
        code, out = run([EXE, "/backup:" + nowhere], "n\n")
        self.assertIn(b"ERROR - could not write the backup " + nowhere.encode() +
                      b", nothing was changed\r\n", out)
        self.assertEqual(before, values())


class Usage(ToolTestCase):
    def test_usage_shows_the_contract(self):
        for args in (["/?"], ["-?", "/check"], ["/repair", "/?", "/bogus"]):
            code, lines = tool(*args)
            self.assertEqual(0, code)
            text = "\n".join(lines)
            for switch in ("/check", "/repair", "/suffix:", "/whatif", "/backup:", "/log:",
                           "/reg:64", "Intune", "Ansible", "ConfigMgr", "Invoke-Command"):
                self.assertIn(switch, text)

    def test_usage_errors_read_and_write_nothing(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        before = values()
        log = os.path.join(tempfile.mkdtemp(prefix="sorvane-"), "never.log")
        for args in (["/check", "/x"], ["/check", "/repair"], ["/check", "/suffix:dc=x"],
                     ["/whatif"], ["/suffix:dc=x"], ["/repair", "/suffix:"],
                     ["/repair", "/suffix:dc=\x01"], ["/repair", "/suffix:dc=a dc=b"],
                     # Best-fit conversion to code page 1252 would make it "dc=???".
                     ["/repair", "/suffix:dc=дом"],
                     ["/repair", "/suffix:" + "x" * 512], ["/reg:16"], ["/check", "/reg:"],
                     ["/backup:"], ["/check", "/log:"], ["1", "/whatif"]):
            code, lines = tool(*args, "/log:" + windows_path(log))
            self.assertEqual(1, code, args)
            self.assertEqual(1, len(lines), (args, lines))
            self.assertTrue(lines[0].startswith("RESULT: failed - "), (args, lines))
        self.assertEqual(before, values())
        self.assertFalse(os.path.exists(log))

    def test_other_arguments_keep_the_interactive_tool(self):
        seed()
        _, verbose = run([EXE, "1"], "n\n")
        for args in (["v"], ["/x"], ["-1", "extra"]):
            self.assertEqual((0, verbose), run([EXE, *args], "n\n"), args)
        self.assertEqual(run([EXE], "n\n"), run([EXE, "/reg:32", "/log:" + windows_path(
            os.path.join(tempfile.mkdtemp(prefix="sorvane-"), "a.log"))], "n\n"))


if __name__ == "__main__":
    unittest.main()
