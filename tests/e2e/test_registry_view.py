r"""The two registry views of 64-bit Windows, in the 64-bit prefix, where the
32-bit tool and probe run under WoW64. Each test starts with both LDAP keys in
both views, seeded through Wine's own reg.exe and told apart by their values.

What Wine 8.0 does, measured here, as 64-bit Windows does:
- A 32-bit process that asks for no view works in the 32-bit one:
  HKLM\SOFTWARE\X is HKLM\SOFTWARE\WOW6432Node\X. KEY_WOW64_64KEY reaches the
  native copy, KEY_WOW64_32KEY the WOW6432Node one.
- No fallback between views: a key that exists in one view only is missing in
  the other, to a raw RegOpenKeyExA as to reg.exe.
- reg.exe is started with the build's loader: the 32-bit one (SysWOW64) for
  the 32-bit build, which without /reg:32 or /reg:64 works in the 32-bit
  view, the 64-bit one for the 64-bit build, which works in the native view.
  add, delete, query, import and export honour both switches. export writes UTF-16LE with a BOM, CRLF line
  ends, "Windows Registry Editor Version 5.00", and names the key without
  WOW6432Node in either view.
- In a 32-bit prefix there is one view; both flags are accepted and ignored.
- The 64-bit tool and probe run natively and ask for the 32-bit view unless
  told otherwise, so every expectation of the tool here holds for both builds.
Where Wine differs: an imported file's "[-KEY]" lines delete in reg.exe's own
view whatever the switch, so seeding deletes with `reg delete /reg:N`."""

import json
import os
import shutil
import tempfile
import unittest

import harness
from harness import GOOD_SERVER, ToolTestCase, prefix, prefix64, windows_path
from texts import (BRIMSEK, CLIENT, COULD_NOT_OPEN, CR_AUTH, DN_SUFFIX, FAILED, FINISHED_END,
                   KEYS_IN_VIEW, KEYS_IN_VIEW_NOTE, LDAP_SUFFIX, LOGIN_AUTH, READ_FAILED, SERVER,
                   SUFFIXES_OK, screen)

# The 32-bit copy of the server key, as the native view names it.
SERVER_IN_WOW_NODE = SERVER.replace("\\SOFTWARE\\", "\\SOFTWARE\\WOW6432Node\\")

# All rules met in each view; the suffixes tell which view was read.
NATIVE_SERVER = {**GOOD_SERVER, LDAP_SUFFIX: "dc=native,dc=com"}
NATIVE_CLIENT = {DN_SUFFIX: "dc=native,dc=com"}
WOW_SERVER = {**GOOD_SERVER, LDAP_SUFFIX: "dc=wow,dc=com"}
WOW_CLIENT = {DN_SUFFIX: "dc=wow,dc=com"}

_scratch = None


def reg_own_view():
    """The view reg.exe works in without a switch: its own bitness's."""
    return "64" if harness.BITS == 64 else "32"


def other_view(view):
    return "32" if view == "64" else "64"


def setUpModule():
    global _scratch
    harness.configure_from_environment()
    _scratch = tempfile.mkdtemp(prefix="sorvane-view-")


def tearDownModule():
    shutil.rmtree(_scratch, ignore_errors=True)


def reg_ok(*args):
    """Wine's reg.exe in the 64-bit prefix; fails the test unless it succeeds."""
    code, out = prefix64.reg(*args)
    if code != 0:
        raise AssertionError("reg %s exited %d: %r" % (" ".join(args), code, out))
    return out


def reg_file(*sections):
    """A .reg file as Windows writes one (UTF-16LE with a BOM, CRLF), from
    (full key path, {name: str or int}) sections; returns its Windows name."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in sections:
        lines.append("[%s]" % key)
        for name, value in values.items():
            if isinstance(value, int):
                data = "dword:%08x" % value
            else:
                data = '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')
            lines.append('"%s"=%s' % (name, data))
        lines.append("")
    path = os.path.join(_scratch, "seed.reg")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))
    return windows_path(path)


def seed_view(view, server, client):
    """Replaces both LDAP keys in one view ("32" or "64") with exactly these
    values, through reg.exe; a key given as None does not exist afterwards."""
    prefix64.reg("delete", BRIMSEK, "/f", "/reg:" + view)  # fails when missing: fine
    sections = [(key, values) for key, values in ((SERVER, server), (CLIENT, client))
                if values is not None]
    if sections:
        reg_ok("import", reg_file(*sections), "/reg:" + view)


def stored(server, client):
    """What values() reads back after seeding these: (type, bytes) or None."""
    def one(values, name):
        if values is None or name not in values:
            return None
        if isinstance(values[name], int):
            return ("dword", values[name].to_bytes(4, "little"))
        return ("sz", values[name].encode("latin-1") + b"\0")
    return {LOGIN_AUTH: one(server, LOGIN_AUTH), CR_AUTH: one(server, CR_AUTH),
            LDAP_SUFFIX: one(server, LDAP_SUFFIX), DN_SUFFIX: one(client, DN_SUFFIX)}


MISSING = stored(None, None)


class BothViews(ToolTestCase):
    """Each test starts with NATIVE in the 64-bit view and WOW in the 32-bit
    one; a subclass may set other (server, client) pairs."""
    NATIVE = (NATIVE_SERVER, NATIVE_CLIENT)
    WOW = (WOW_SERVER, WOW_CLIENT)

    def setUp(self):
        seed_view("64", *self.NATIVE)
        seed_view("32", *self.WOW)


class PlatformViews(BothViews):
    def test_64_bit_view_reads_the_native_copy(self):
        self.assertEqual(stored(*self.NATIVE), prefix64.values("64"))

    def test_32_bit_view_reads_the_wow6432node_copy(self):
        self.assertEqual(stored(*self.WOW), prefix64.values("32"))

    def test_32_bit_process_without_a_view_reads_the_32_bit_view(self):
        self.assertEqual(stored(*self.WOW), prefix64.values("default"))

    def test_32_bit_copy_is_the_wow6432node_key_of_the_native_view(self):
        self.assertEqual(["sz " + b"dc=wow,dc=com\0".hex()],
                         prefix64.probe("view", "64", "dump", SERVER_IN_WOW_NODE, LDAP_SUFFIX))

    def test_key_only_in_the_native_view_is_missing_in_the_32_bit_view(self):
        reg_ok("delete", BRIMSEK, "/f", "/reg:32")
        self.assertEqual(MISSING, prefix64.values("32"))
        self.assertEqual(MISSING, prefix64.values("default"))
        self.assertEqual(stored(*self.NATIVE), prefix64.values("64"))

    def test_key_only_in_the_32_bit_view_is_missing_in_the_64_bit_view(self):
        reg_ok("delete", BRIMSEK, "/f", "/reg:64")
        self.assertEqual(MISSING, prefix64.values("64"))
        self.assertEqual(stored(*self.WOW), prefix64.values("32"))

    def test_probe_writes_and_deletes_in_the_view_it_is_given(self):
        prefix64.probe("view", "64", "set", SERVER, LDAP_SUFFIX, "sz", b"dc=p64\0".hex(),
                       "view", "32", "delete", BRIMSEK)
        self.assertEqual(stored({**NATIVE_SERVER, LDAP_SUFFIX: "dc=p64"}, NATIVE_CLIENT),
                         prefix64.values("64"))
        self.assertEqual(MISSING, prefix64.values("32"))

    def test_reg_add_writes_the_view_it_is_given(self):
        reg_ok("add", SERVER, "/v", LDAP_SUFFIX, "/d", "dc=added64", "/f", "/reg:64")
        reg_ok("add", CLIENT, "/v", DN_SUFFIX, "/d", "dc=added32", "/f", "/reg:32")
        self.assertEqual(stored({**NATIVE_SERVER, LDAP_SUFFIX: "dc=added64"}, NATIVE_CLIENT),
                         prefix64.values("64"))
        self.assertEqual(stored(WOW_SERVER, {DN_SUFFIX: "dc=added32"}), prefix64.values("32"))

    def test_reg_without_a_view_switch_works_in_its_own_view(self):
        reg_ok("add", SERVER, "/v", LDAP_SUFFIX, "/d", "dc=plain", "/f")
        own = reg_own_view()
        changed, kept = (self.WOW, self.NATIVE) if own == "32" else (self.NATIVE, self.WOW)
        self.assertEqual(stored({**changed[0], LDAP_SUFFIX: "dc=plain"}, changed[1]),
                         prefix64.values(own))
        self.assertEqual(stored(*kept), prefix64.values(other_view(own)))

    def test_reg_import_writes_the_view_it_is_given(self):
        reg_ok("import", reg_file((SERVER, {LDAP_SUFFIX: "dc=imported"})), "/reg:64")
        self.assertEqual(stored({**NATIVE_SERVER, LDAP_SUFFIX: "dc=imported"}, NATIVE_CLIENT),
                         prefix64.values("64"))
        self.assertEqual(stored(*self.WOW), prefix64.values("32"))

    def test_reg_import_deletes_keys_in_its_own_view_whatever_the_switch(self):
        # Why seed_view deletes with `reg delete`: this line in a file
        # imported with the other view's switch deletes the copy in reg's own.
        path = os.path.join(_scratch, "delete.reg")
        text = "Windows Registry Editor Version 5.00\r\n\r\n[-%s]\r\n\r\n" % BRIMSEK
        with open(path, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
        own = reg_own_view()
        reg_ok("import", windows_path(path), "/reg:" + other_view(own))
        kept = self.NATIVE if own == "32" else self.WOW
        self.assertEqual(stored(*kept), prefix64.values(other_view(own)))
        self.assertEqual(MISSING, prefix64.values(own))

    def test_reg_export_writes_utf16_with_a_bom_and_the_view_it_is_given(self):
        for view, suffix in (("64", "dc=native,dc=com"), ("32", "dc=wow,dc=com")):
            path = os.path.join(_scratch, "export%s.reg" % view)
            reg_ok("export", SERVER, windows_path(path), "/y", "/reg:" + view)
            with open(path, "rb") as f:
                data = f.read()
            self.assertEqual(b"\xff\xfe", data[:2], view)
            lines = data[2:].decode("utf-16-le").split("\r\n")
            # Wine lists values by name; Windows in the order they were written.
            self.assertEqual(["Windows Registry Editor Version 5.00", "", "[%s]" % SERVER],
                             lines[:3], view)
            self.assertEqual(sorted(['"%s"="Yes"' % LOGIN_AUTH, '"%s"="Yes"' % CR_AUTH,
                                     '"%s"="%s"' % (LDAP_SUFFIX, suffix)]), sorted(lines[3:6]),
                             view)
            self.assertEqual(["", ""], lines[6:], view)


class ToolViews(BothViews):
    """The tool in each view: /reg:64 the native copy, /reg:32 and no switch
    the WOW6432Node one, for reads and writes alike, in every mode."""

    def test_check_reads_the_view_it_is_asked_for(self):
        for args, suffix in (([], "dc=wow,dc=com"), (["/reg:32"], "dc=wow,dc=com"),
                             (["/REG:64"], "dc=native,dc=com")):
            code, lines = prefix64.tool_lines("/check", *args)
            self.assertEqual(0, code, lines)
            self.assertIn(SUFFIXES_OK % suffix, lines, args)

    def test_repair_writes_only_the_view_it_is_asked_for(self):
        seed_view("64", {**NATIVE_SERVER, CR_AUTH: "no"}, NATIVE_CLIENT)
        wow_before = prefix64.values("32")
        backup = os.path.join(_scratch, "native.reg")
        code, out = prefix64.run_tool(["/repair", "/reg:64", "/backup:" + windows_path(backup)])
        self.assertEqual(0, code, out)
        self.assertEqual(stored(*self.NATIVE), prefix64.values("64"))
        self.assertEqual(wow_before, prefix64.values("32"))
        with open(backup, "rb") as f:
            self.assertIn("/reg:64", f.read().decode("utf-16"))
        # The backup restores the native copy, and only that one.
        reg_ok("import", windows_path(backup), "/reg:64")
        self.assertEqual("sz " + b"no\0".hex(),
                         prefix64.probe("view", "64", "dump", SERVER, CR_AUTH)[0])
        self.assertEqual(wow_before, prefix64.values("32"))

    def test_a_backup_of_the_32_bit_view_restores_there_with_either_reg(self):
        # Its keys are named through WOW6432Node, which both reg.exes reach
        # without a switch; the native copy stays as it was.
        native_before = prefix64.values("64")
        for bits in (32, 64) if harness.runs_32bit() else (64,):
            seed_view("32", {**WOW_SERVER, CR_AUTH: "no"}, WOW_CLIENT)
            backup = os.path.join(_scratch, "wow-%d.reg" % bits)
            code, out = prefix64.run_tool(["/repair", "/backup:" + windows_path(backup)])
            self.assertEqual(0, code, out)
            code, out = prefix64.reg_of(bits, "import", windows_path(backup))
            self.assertEqual(0, code, (bits, out))
            self.assertEqual("sz " + b"no\0".hex(),
                             prefix64.probe("view", "32", "dump", SERVER, CR_AUTH)[0], bits)
            self.assertEqual(native_before, prefix64.values("64"), bits)

    def test_keys_only_in_the_other_view_are_named(self):
        for missing, args, other in (("32", [], "64"), ("64", ["/reg:64"], "32")):
            self.setUp()
            reg_ok("delete", BRIMSEK, "/f", "/reg:" + missing)
            code, lines = prefix64.tool_lines("/check", *args)
            self.assertEqual((1, FAILED + READ_FAILED + KEYS_IN_VIEW_NOTE % (other, other)),
                             (code, lines[-1]), args)
            code, out = prefix64.run_tool(["1", *args], stdin="n\n")
            self.assertIn(screen(COULD_NOT_OPEN % SERVER, KEYS_IN_VIEW % (other, other)), out)
            # The DSC resource names the view as its instance does.
            code, out = prefix64.run_tool(["/dsc:get"], '{"view":"%s"}' % missing)
            note = '; the keys are in the %s-bit registry view ("view": "%s")' % (other, other)
            self.assertEqual((1, b"", {"error": READ_FAILED + note, "reasonId": "keysUnreadable"}),
                             (code, out, json.loads(prefix64.last_stderr)), args)

    def test_interactive_run_keeps_its_screens_in_either_view(self):
        for args, suffix in (([], "dc=wow,dc=com"), (["/reg:64"], "dc=native,dc=com")):
            code, out = prefix64.run_tool(["1", *args], stdin="n\n")
            self.assertEqual(0, code)
            self.assertIn(screen(SUFFIXES_OK % suffix), out)
            self.assertTrue(out.endswith(FINISHED_END), out)


class OneViewPrefix(unittest.TestCase):
    KEY = r"HKLM\SOFTWARE\SorvaneViewProbe"  # the probe's short root name, kept in use

    def tearDown(self):
        prefix.probe("delete", self.KEY)

    def test_32_bit_prefix_has_one_view_and_ignores_both_flags(self):
        if harness.BITS == 64:
            self.skipTest("the 64-bit build's test prefix is a 64-bit one")
        out = prefix.probe("view", "64", "set", self.KEY, "Where", "sz", b"64\0".hex(),
                             "view", "32", "dump", self.KEY, "Where",
                             "view", "32", "set", self.KEY, "Where", "sz", b"32\0".hex(),
                             "view", "64", "dump", self.KEY, "Where",
                             "view", "default", "dump", self.KEY, "Where")
        self.assertEqual(["sz " + b"64\0".hex(), "sz " + b"32\0".hex(), "sz " + b"32\0".hex()],
                         out)


if __name__ == "__main__":
    unittest.main()
