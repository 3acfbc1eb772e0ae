"""The DSC 3 resource as the engine drives it: the exe started with the
arguments its manifest names, the desired state as compact JSON on standard
input, standard output read whole as the instance lines and standard error as
JSON log lines, any exit code but 0 a failure; the registry checked afterwards.
Every instance printed is validated against the manifest's embedded schema
(python3-jsonschema), and the manifest itself is held to the engine's rules."""

import json
import os
import re
import unittest

try:
    import jsonschema
except ImportError:  # Debian's python3-jsonschema, for the python3 that runs the tests
    jsonschema = None

import harness
from harness import (BROKEN_CLIENT, BROKEN_SERVER, GOOD_CLIENT, GOOD_SERVER, MISMATCHED_SERVER,
                     Session, ToolTestCase, probe, seed, values, windows_path)
from texts import (ANOTHER_COPY_REASON, BACKUP_SAVED_DSC, CLIENT, CR_AUTH, DN_SUFFIX,
                   INFO_QUESTION, LDAP_SUFFIX, LOGIN_AUTH, NOT_THE_SUFFIX_GIVEN, NOT_YES,
                   READ_FAILED, SERVER, STILL_NOT_DESIRED, SUFFIXES_APART)

MANIFEST_SCHEMA = "https://aka.ms/dsc/schemas/v3/bundled/resource/manifest.json"
IN_DESIRED_STATE = "https://aka.ms/dsc/schemas/v3/resource/properties/inDesiredState.json"
# The engine refuses a manifest with any other top-level field.
TOP_LEVEL = {"$schema", "type", "version", "description", "tags", "get", "set", "test",
             "exitCodes", "schema"}
VALUE_NAMES = ("enableLoginAuth", "enableCRAuth", "ldapSuffix", "dnSuffix")

manifest = schema = None


def setUpModule():
    global manifest, schema
    if jsonschema is None:
        raise AssertionError("no jsonschema module: install python3-jsonschema (tools/install.sh)")
    harness.configure_from_environment()
    with open(os.path.join(harness.BUILD, "packaging", "dsc", "Sorvane.dsc.resource.json"),
              "rb") as f:
        manifest = json.loads(f.read().decode("ascii"))
    schema = manifest["schema"]["embedded"]


class Manifest(unittest.TestCase):
    def test_only_fields_the_engine_knows_with_the_input_on_standard_input(self):
        self.assertLessEqual(set(manifest), TOP_LEVEL)
        self.assertEqual(MANIFEST_SCHEMA, manifest["$schema"])
        self.assertRegex(manifest["type"], r"^\w+(\.\w+){0,3}/\w+$")
        with open(os.path.join(harness.BUILD, "version.txt")) as f:
            self.assertEqual(f.read().strip(), manifest["version"])
        for tag in manifest["tags"]:
            self.assertRegex(tag, r"^\w+$")
        for operation, flag in (("get", "/dsc:get"), ("test", "/dsc:test"), ("set", "/dsc:set")):
            method = manifest[operation]
            self.assertEqual("Sorvane.exe", method["executable"], operation)
            self.assertEqual("stdin", method["input"], operation)
            self.assertEqual(flag, method["args"][0], operation)
            # The engine sends a set's --what-if as this flag; nothing puts JSON on the command line.
            extra = [{"whatIfArg": "/whatif"}] if operation == "set" else []
            self.assertEqual(extra, method["args"][1:], operation)
            if operation != "get":
                self.assertEqual("stateAndDiff", method["return"], operation)
        self.assertTrue(all(manifest["exitCodes"].values()))  # each described; which: Failures

    def test_the_instance_schema_is_2020_12_and_needs_no_network(self):
        jsonschema.Draft202012Validator.check_schema(schema)
        self.assertEqual("https://json-schema.org/draft/2020-12/schema", schema["$schema"])
        self.assertEqual(("object", False), (schema["type"], schema["additionalProperties"]))
        # The published manifest schema takes this property only in this form.
        self.assertEqual({"$ref": IN_DESIRED_STATE}, schema["properties"]["_inDesiredState"])
        bundled = {sub.get("$id") for sub in schema["$defs"].values()}
        refs = re.findall(r'"\$ref": "([^"]*)"', json.dumps(schema))
        self.assertTrue(refs)
        for ref in refs:
            self.assertTrue(ref.startswith("#/") or ref in bundled, ref)


class DscTestCase(ToolTestCase):
    def dsc(self, operation, desired=None, what_if=False, stdin=None):
        """Runs the operation as the engine does; checks the lines against the
        contract and the schema; returns (exit code, printed JSON values,
        standard error's JSON lines)."""
        args = [arg for arg in manifest[operation]["args"] if isinstance(arg, str)]
        args += ["/whatif"] if what_if else []
        if stdin is None:
            stdin = b"" if desired is None else json.dumps(desired, separators=(",", ":")).encode()
        code, out = harness.prefix.run_tool(args, stdin)
        err = [json.loads(line) for line in harness.prefix.last_stderr.decode("ascii").splitlines()]
        self.assertIn(str(code), manifest["exitCodes"])
        text = out.decode("ascii")
        self.assertTrue(text == "" or text.endswith("\r\n"), out)
        printed = [json.loads(line) for line in text.split("\r\n")[:-1]]
        if code != 0:
            self.assertEqual([], printed)
            self.assertEqual(["error", "reasonId"], [key for line in err for key in line], err)
            return code, printed, err
        self.assertEqual(1 if operation == "get" else 2, len(printed), printed)
        jsonschema.Draft202012Validator(schema).validate(printed[0])
        self.assertEqual(operation == "test", "_inDesiredState" in printed[0])
        if operation != "get":
            names = printed[1]
            self.assertEqual(len(set(names)), len(names))
            self.assertLessEqual(set(names), set(schema["properties"]) - {"_inDesiredState"})
        return code, printed, err

    def stored_text(self, key, name):
        kind, data = probe("dumpw", key, name)[0].split(" ")
        return bytes.fromhex(data).decode("utf-16-le").split("\0")[0]


class Operations(DscTestCase):
    def test_get_prints_the_values_as_stored_and_never_passes_other_types(self):
        seed({LOGIN_AUTH: 1, CR_AUTH: ("binary", b"Yes"), LDAP_SUFFIX: "dc=a"}, {DN_SUFFIX: "dc=b"})
        with self.assertNothingWritten():
            code, printed, err = self.dsc("get")
        self.assertEqual((0, []), (code, err))
        state = printed[0]
        self.assertEqual(("32", None), (state["view"], state["suffix"]))
        self.assertEqual([("REG_DWORD", "1", False), ("REG_BINARY", "hex:59,65,73", False),
                          ("REG_SZ", "dc=a", False), ("REG_SZ", "dc=b", False)],
                         [tuple(state[n].values()) for n in VALUE_NAMES])
        self.assertEqual([NOT_YES % LOGIN_AUTH, NOT_YES % CR_AUTH, SUFFIXES_APART],
                         state["problems"])
        # What is stored is printed, though no desired state could ask for it.
        seed({**GOOD_SERVER, LDAP_SUFFIX: "dc=a b\r\n"}, {DN_SUFFIX: "dc=a b\r\n"})
        self.assertEqual("dc=a b\r\n", self.dsc("get")[1][0]["suffix"])

    def test_test_says_whether_the_desired_state_holds_and_names_what_does_not(self):
        cases = [
            (GOOD_SERVER, GOOD_CLIENT, {}, []),
            (GOOD_SERVER, GOOD_CLIENT, {"view": "32", "suffix": "dc=brimsek,dc=com"}, []),
            (GOOD_SERVER, GOOD_CLIENT, {"suffix": "dc=other"}, ["suffix", "ldapSuffix",
                                                                "dnSuffix"]),
            (MISMATCHED_SERVER, GOOD_CLIENT, {"suffix": "dc=brimsek,dc=com"}, ["suffix",
                                                                               "ldapSuffix"]),
            (BROKEN_SERVER, BROKEN_CLIENT, {}, list(VALUE_NAMES)),
        ]
        for server, client, desired, differ in cases:
            seed(server, client)
            with self.subTest(desired=desired, server=server), self.assertNothingWritten():
                code, (state, names), err = self.dsc("test", desired)
                self.assertEqual((0, differ, not differ), (code, names, state["_inDesiredState"]))
                self.assertEqual(not differ, not state["problems"], state["problems"])
        seed()
        self.assertEqual([NOT_THE_SUFFIX_GIVEN], self.dsc("test", {"suffix": "dc=x"})[1][0]["problems"])

    def test_what_get_prints_test_and_set_take_back(self):
        # A blank after the comma is common in LDAP names; both values empty
        # is a state too. A configuration exported from such a server holds.
        for suffix in ("dc=example, dc=com", ""):
            seed({**GOOD_SERVER, LDAP_SUFFIX: suffix}, {DN_SUFFIX: suffix})
            with self.subTest(suffix=suffix), self.assertNothingWritten():
                state = self.dsc("get")[1][0]
                self.assertEqual(suffix, state["suffix"])
                self.assertEqual((0, []), self.dsc("test", state)[::2])
                self.assertEqual([], self.dsc("set", state)[1][1])
        # A suffix the tool would never write is refused where a set must write it.
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        with self.assertNothingWritten():
            self.assertEqual((2, [], [{"error": '"suffix" is empty', "reasonId": "usageError"}]),
                             self.dsc("set", {"suffix": ""}))

    def test_set_writes_what_differs_what_if_nothing_and_again_nothing(self):
        seed({**MISMATCHED_SERVER, LOGIN_AUTH: "no"}, GOOD_CLIENT)
        desired = {"suffix": "dc=brimsek,dc=com"}
        changes = ["suffix", "enableLoginAuth", "ldapSuffix"]
        with self.assertNothingWritten():
            code, (state, names), err = self.dsc("set", desired, what_if=True)
        self.assertEqual((0, changes, [], []), (code, names, state["problems"], err))
        self.assertTrue(all(state[n]["passes"] for n in VALUE_NAMES), state)
        code, (after, names), err = self.dsc("set", desired)
        self.assertEqual((0, changes, state, []), (code, names, after, err))
        self.assertEqual(["Yes", "Yes", "dc=brimsek,dc=com", "dc=brimsek,dc=com"],
                         [harness.text_of(v) for v in values().values()])
        with self.assertNothingWritten():
            self.assertEqual([], self.dsc("set", desired)[1][1])

    def test_set_without_a_suffix_mends_rule_one_and_warns_of_rule_two(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        code, (state, names), err = self.dsc("set", {"view": "32"})
        self.assertEqual((0, ["enableLoginAuth", "enableCRAuth"]), (code, names))
        self.assertEqual([SUFFIXES_APART], state["problems"])
        self.assertEqual([{"warn": STILL_NOT_DESIRED % SUFFIXES_APART +
                           ' (give "suffix" to repair it)'}], err)
        self.assertEqual(["Yes", "Yes", "dc=old,dc=com", "dc=new,dc=com"],
                         [harness.text_of(v) for v in values().values()])

    def test_a_set_that_writes_backs_up_and_logs_a_what_if_does_not(self):
        folder = self.scratch_folder()
        backup, log = os.path.join(folder, "b.reg"), os.path.join(folder, "a.log")
        desired = {"suffix": "dc=x", "backupPath": windows_path(backup),
                   "logPath": windows_path(log)}
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        self.dsc("set", desired, what_if=True)
        self.assertEqual([], os.listdir(folder))
        code, printed, err = self.dsc("set", desired)
        self.assertEqual((0, [{"info": BACKUP_SAVED_DSC % windows_path(backup)}]), (code, err))
        with open(backup, "rb") as f:
            self.assertIn("dc=old,dc=com", f.read().decode("utf-16"))
        with open(log, encoding="utf-8") as f:
            self.assertEqual(6, len(f.read().splitlines()))  # the backup, four writes, the result

    def test_a_non_ascii_and_a_date_like_suffix_arrive_exact(self):
        for suffix in ("dc=café,dc=com", "2026-12-08"):
            seed(BROKEN_SERVER, BROKEN_CLIENT)
            with self.subTest(suffix=suffix):
                code, (state, names), err = self.dsc("set", {"suffix": suffix})
                self.assertEqual((0, suffix), (code, state["suffix"]))
                self.assertEqual([suffix, suffix], [self.stored_text(SERVER, LDAP_SUFFIX),
                                                    self.stored_text(CLIENT, DN_SUFFIX)])
                self.assertEqual([], self.dsc("test", {"suffix": suffix})[1][1])


class Failures(DscTestCase):
    def test_refused_input_exits_2_and_writes_nothing(self):
        # Each reason the desired state is refused for is a row of dsc_desired_state_test.
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        cases = [(b"", "the desired state must be one JSON object on standard input"),
                 (b'{"suffix":"dc=x","_exist":false}', 'unknown property "_exist"'),
                 ('{"suffix":"dc=\u0100"}'.encode(), '"suffix" holds characters that cannot '
                                                     'be stored'),
                 (b'{"backupPath":"C:\\\\f.reg","logPath":"c:\\\\F.REG"}',
                  '"backupPath" and "logPath" name the same file')]
        for stdin, reason in cases:
            with self.subTest(stdin=stdin), self.assertNothingWritten():
                self.assertEqual((2, [], [{"error": reason, "reasonId": "usageError"}]),
                                 self.dsc("set", stdin=stdin))

    def test_failures_exit_1_and_3_which_with_0_and_2_are_all_the_manifest_lists(self):
        seed(None, GOOD_CLIENT)
        for operation in ("get", "test", "set"):
            with self.assertNothingWritten():
                self.assertEqual((1, [], [{"error": READ_FAILED, "reasonId": "keysUnreadable"}]),
                                 self.dsc(operation, {"suffix": "dc=x"}))
        seed()
        if harness.BITS == 64:  # only 64-bit Windows has a second view to point to
            self.assertEqual([{"error": READ_FAILED + '; the keys are in the 32-bit registry '
                               'view ("view": "32")', "reasonId": "keysUnreadable"}],
                             self.dsc("get", {"view": "64"})[2])
        first = Session()
        first.expect(INFO_QUESTION)
        try:
            self.assertEqual((3, [], [{"error": ANOTHER_COPY_REASON,
                                        "reasonId": "anotherCopyRunning"}]), self.dsc("test", {}))
        finally:
            first.send("n\n")
            first.finish()
        self.assertEqual(["0", "1", "2", "3"], sorted(manifest["exitCodes"]))


if __name__ == "__main__":
    unittest.main()
