"""The Application event log. Wine's ReportEventW stores nothing, but with
WINEDEBUG=+eventlog it prints each event's type and id (a fixme:advapi line)
and then its inserts (trace: information, warn: warning, err: error), so each
run's events are read from its standard error. Then every message of the
exe's table rendered by FormatMessage (messageprobe.exe), as Event Viewer
renders an event once the source is registered: this build's exe and the
other build's, where it is built beside it."""

import json
import os
import re
import unittest

import harness
from harness import (BROKEN_CLIENT, BROKEN_SERVER, GOOD_CLIENT, GOOD_SERVER, ROOT, Session,
                     ToolTestCase, read_only, seed, windows_path)
from texts import CLIENT, CR_AUTH, DN_SUFFIX, INFO_QUESTION, LDAP_SUFFIX, LOGIN_AUTH, SERVER, screen

# Each id and the type it is reported with: 1 error, 2 warning, 4 information.
MADE, REFUSED, BACKUP, COMPLIANT, NOT_COMPLIANT, FAILED = 1000, 1001, 1002, 1010, 1011, 1012
TYPES = {MADE: 4, REFUSED: 1, BACKUP: 4, COMPLIANT: 4, NOT_COMPLIANT: 2, FAILED: 1}
CLASSES = {"trace": 4, "warn": 2, "err": 1}


def messages():
    """{id: the message's lines} from the message table's source."""
    with open(os.path.join(ROOT, "checker", "resources", "sorvane_events.mc"), encoding="ascii") as f:
        found = re.findall(r"^MessageId=(\d+)\n(?:\w+=[^\n]*\n)*?Language=\w+\n(.*?)^\.$", f.read(),
                           re.M | re.S)
    return {int(number): text.splitlines() for number, text in found}


MESSAGES = messages()


def insert_count(event_id):
    return max(int(n) for n in re.findall(r"%(\d+)", "\n".join(MESSAGES[event_id])))


def reported(stderr):
    """[(id, inserts)] of each ReportEventW call in Wine's trace, each checked for
    its type and for as many inserts as its message names. debugstr_w escapes
    \\, " and non-ASCII characters (\\XXXX); the tool lets no other control through."""
    events = []
    for line in stderr.decode("latin-1").splitlines():
        call = re.match(r"\w+:fixme:advapi:ReportEventW \(\w+,0x(\w+),0x(\w+),0x(\w+),", line)
        insert = re.match(r'\w+:(trace|warn|err):eventlog:ReportEventW L"(.*)"$', line)
        if call:
            kind, category, event_id = (int(n, 16) for n in call.groups())
            assert (TYPES.get(event_id), 0) == (kind, category), line
            events.append((event_id, []))
        elif insert:
            assert CLASSES[insert.group(1)] == TYPES[events[-1][0]], line
            events[-1][1].append(re.sub(r'\\([\\"]|[0-9a-f]{4})', lambda m: m.group(1) if len(
                m.group(1)) == 1 else chr(int(m.group(1), 16)), insert.group(2)))
    for event_id, inserts in events:
        assert insert_count(event_id) == len(inserts), (event_id, inserts)
    return events


def setUpModule():
    harness.configure_from_environment()


class Reported(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        seed()
        cls.user = json.loads(harness.prefix.run_tool(["/check", "/json"])[1])["user"]

    def traced(self, args, stdin=None):
        """(output lines, events) of one run of the tool."""
        code, out = harness.prefix.run_tool(args, stdin, env={"WINEDEBUG": "-all,fixme+advapi,+eventlog"})
        return out.decode("latin-1").split("\r\n")[:-1], reported(harness.prefix.last_stderr)

    def write(self, event_id, key, name, old, new, mode="repair"):
        return event_id, [key, name, old, new, "32-bit", mode, self.user]

    def result(self, event_id, line, reason="-", mode="repair"):
        return event_id, [line, reason, "32-bit", mode, self.user]

    def test_a_repair_reports_its_backup_each_write_and_its_result(self):
        # A control character escaped as everywhere, a non-ASCII one as stored (in UTF-16).
        seed({**BROKEN_SERVER, LDAP_SUFFIX: b"dc=\xe9\x01old\0"}, BROKEN_CLIENT)
        backup = windows_path(os.path.join(self.scratch_folder(), "before.reg"))
        lines, events = self.traced(["/repair", "/suffix:dc=b", "/backup:" + backup])
        self.assertEqual([(BACKUP, [backup, "32-bit", "repair", self.user]),
                          self.write(MADE, SERVER, LOGIN_AUTH, "no", "Yes"),
                          self.write(MADE, SERVER, CR_AUTH, "YES", "Yes"),
                          self.write(MADE, SERVER, LDAP_SUFFIX, "dc=\xe9<01>old", "dc=b"),
                          self.write(MADE, CLIENT, DN_SUFFIX, "dc=new,dc=com", "dc=b"),
                          self.result(COMPLIANT, lines[-1])], events)
        self.assertEqual("RESULT: compliant, 4 changes made", lines[-1])

    def test_a_refused_write_a_failed_run_and_a_result_left_not_compliant(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        with read_only(CLIENT):
            lines, events = self.traced(["/repair", "/suffix:dc=x"])
        self.assertEqual([self.write(MADE, SERVER, LOGIN_AUTH, "no", "Yes"),
                          self.write(MADE, SERVER, CR_AUTH, "YES", "Yes"),
                          self.write(MADE, SERVER, LDAP_SUFFIX, "dc=old,dc=com", "dc=x"),
                          self.write(REFUSED, CLIENT, DN_SUFFIX, "dc=new,dc=com", "dc=x"),
                          self.result(FAILED, lines[-1], "notWritable")], events)
        seed(BROKEN_SERVER, BROKEN_CLIENT)  # without /suffix: Rule Two stays as it is
        lines, events = self.traced(["/repair"])
        self.assertEqual([MADE, MADE, NOT_COMPLIANT], [event_id for event_id, _ in events])
        self.assertEqual(self.result(NOT_COMPLIANT, lines[-1]), events[-1])
        seed(None, GOOD_CLIENT)
        for args, reason in ((["/repair"], "keysUnreadable"), (["/repair", "/suffix:"], "usageError")):
            lines, events = self.traced(args)
            self.assertEqual([self.result(FAILED, lines[-1], reason)], events, args)

    def test_each_mode_that_writes_names_itself_refused_or_not(self):
        seed(BROKEN_SERVER, GOOD_CLIENT)
        _, events = self.traced([], "n\ndc=brimsek,dc=com\ny\n")
        self.assertEqual([MADE] * 4 + [COMPLIANT], [event_id for event_id, _ in events])
        self.assertEqual({"dialogue"}, {inserts[-2] for _, inserts in events})
        seed(BROKEN_SERVER, GOOD_CLIENT)
        _, events = self.traced(["/dsc:set"], b'{"suffix":"dc=brimsek,dc=com"}')
        self.assertEqual([MADE] * 3 + [COMPLIANT], [event_id for event_id, _ in events])
        self.assertEqual({"dsc set"}, {inserts[-2] for _, inserts in events})
        first = Session()
        first.expect(screen(INFO_QUESTION))
        try:
            for args, stdin, mode in ((["/repair"], None, "repair"), ([], "n\n", "dialogue"),
                                      (["/dsc:set"], b'{"suffix":"dc=x"}', "dsc set")):
                _, events = self.traced(args, stdin)
                self.assertEqual([(FAILED, "anotherCopyRunning", mode)],
                                 [(i, inserts[1], inserts[-2]) for i, inserts in events])
        finally:
            first.send("n\n")
            first.finish()

    def test_runs_that_write_nothing_and_do_not_fail_report_nothing(self):
        for server, client, args, stdin in [
                (BROKEN_SERVER, BROKEN_CLIENT, ["/check"], None),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/repair", "/whatif", "/suffix:dc=x"], None),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:set", "/whatif"], b'{"suffix":"dc=x"}'),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:test"], b'{"suffix":"dc=x"}'),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:get"], b""),
                (GOOD_SERVER, GOOD_CLIENT, ["/repair"], None),
                # Only a run that was to write reports its failure.
                (None, GOOD_CLIENT, ["/check"], None),
                (None, GOOD_CLIENT, ["/repair", "/whatif"], None)]:
            seed(server, client)
            lines, events = self.traced(args, stdin)
            self.assertEqual([], events, (args, lines))
            self.assertNotIn(b"RegisterEventSource", harness.prefix.last_stderr, args)


class MessageTable(unittest.TestCase):
    def test_every_message_renders_whole_with_its_inserts_from_each_built_exe(self):
        other = os.path.join(os.path.dirname(harness.BUILD), *(
            ("x86_64", "Sorvane64.exe") if harness.BITS == 32 else ("i686", "Sorvane.exe")))
        self.assertEqual(sorted(TYPES), sorted(MESSAGES))
        for exe in [harness.EXE] + [other] * os.path.isfile(other):
            for event_id, lines in MESSAGES.items():
                # Each insert its own, with text beyond Latin-1 and a percent sign.
                inserts = ["v%d \u0434\u043e\u043c %%1" % n for n in range(1, insert_count(event_id) + 1)]
                expected = re.sub(r"%(\d+)", lambda m: inserts[int(m.group(1)) - 1],
                                  "".join(line + "\r\n" for line in lines))
                code, out = harness.prefix.run([os.path.join(harness.BUILD, "tests", "messageprobe.exe"),
                                                windows_path(exe), str(event_id), *inserts], stdin=b"")
                self.assertTrue(all(line.isascii() for line in lines), lines)
                self.assertEqual((0, expected), (code, out.decode("utf-8")), (exe, event_id))


if __name__ == "__main__":
    unittest.main()
