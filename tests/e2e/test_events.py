"""The Application event log. Wine's ReportEventW stores nothing, but with
WINEDEBUG=+eventlog it prints each event's type and id (on a fixme:advapi
line) and then its inserts (trace: for information, warn: for a warning, err:
for an error): each run's events are read from its standard error. Then every
message of the exe's table rendered by FormatMessage (messageprobe.exe), as
Event Viewer and Get-WinEvent render an event once the source is registered:
this build's exe, and the other build's where it is built beside it."""

import json
import os
import re
import unittest

import harness
from harness import (BROKEN_CLIENT, BROKEN_SERVER, GOOD_CLIENT, GOOD_SERVER, ROOT, Session,
                     ToolTestCase, read_only, seed, windows_path)
from texts import (ANOTHER_COPY_REASON, BACKUP_SAVED, CLIENT, CR_AUTH, DN_SUFFIX, INFO_QUESTION, LDAP_SUFFIX,
                   FAILED, LOGIN_AUTH, SERVER, screen)

MESSAGE_SOURCE = os.path.join(ROOT, "checker", "resources", "sorvane_events.mc")
# The event ids and the type each is reported with (ReportEventW's wType).
WRITE_MADE, WRITE_REFUSED, BACKUP_WRITTEN = 1000, 1001, 1002
RUN_COMPLIANT, RUN_NOT_COMPLIANT, RUN_FAILED = 1010, 1011, 1012
ERROR, WARNING, INFORMATION = 1, 2, 4
TYPES = {WRITE_MADE: INFORMATION, WRITE_REFUSED: ERROR, BACKUP_WRITTEN: INFORMATION,
         RUN_COMPLIANT: INFORMATION, RUN_NOT_COMPLIANT: WARNING, RUN_FAILED: ERROR}
# Wine's debug class for the inserts of each type.
CLASSES = {"trace": INFORMATION, "warn": WARNING, "err": ERROR}
TRACE = {"WINEDEBUG": "-all,fixme+advapi,+eventlog"}
VIEW = "32-bit"  # the view every run here uses: the tool's default
NO_REASON = "-"


def messages():
    """{id: the message's text lines} from the message table's source."""
    found, current = {}, None
    with open(MESSAGE_SOURCE, encoding="ascii") as f:
        for line in f.read().splitlines():
            if current is not None:
                if line == ".":
                    current = None
                else:
                    current.append(line)
            elif line.startswith("MessageId="):
                message_id = int(line.split("=")[1], 0)
            elif line.startswith("Language="):
                current = found[message_id] = []
    return found


MESSAGES = messages()


def insert_count(lines):
    return max(int(n) for n in re.findall(r"%(\d+)", "\n".join(lines)))


def rendered(lines, inserts):
    """What FormatMessage makes of a message of these lines: each line ended
    with CRLF, %N the Nth insert, %% a percent sign."""
    text = "".join(line + "\r\n" for line in lines)
    return re.sub(r"%(\d+|%)", lambda m: "%" if m.group(1) == "%" else inserts[int(m.group(1)) - 1],
                  text)


def wine_string(literal):
    """The text of Wine's debugstr_w: L"..." with \\, \", \\n, \\r, \\t and \\XXXX escapes."""
    assert literal.startswith('L"') and literal.endswith('"'), "cut short: " + literal
    body, text, i = literal[2:-1], "", 0
    while i < len(body):
        if body[i] != "\\":
            text += body[i]
            i += 1
        elif body[i + 1] in "\\\"":
            text += body[i + 1]
            i += 2
        elif body[i + 1] in "nrt":
            text += {"n": "\n", "r": "\r", "t": "\t"}[body[i + 1]]
            i += 2
        else:
            text += chr(int(body[i + 1:i + 5], 16))
            i += 5
    return text


def reported(stderr):
    """[(id, inserts)] of every ReportEventW call in Wine's trace, each checked
    for the type its id is reported with and for the inserts its message names."""
    events, types = [], []
    for line in stderr.decode("latin-1").splitlines():
        call = re.match(r"[0-9a-f]+:fixme:advapi:ReportEventW \(\w+,0x(\w+),0x(\w+),0x(\w+),", line)
        insert = re.match(r"[0-9a-f]+:(trace|warn|err):eventlog:ReportEventW (.*)$", line)
        if call:
            kind, category, event_id = (int(n, 16) for n in call.groups())
            events.append((event_id, []))
            types.append((kind, category))
        elif insert:
            assert CLASSES[insert.group(1)] == types[-1][0], line
            events[-1][1].append(wine_string(insert.group(2)))
    for (event_id, inserts), (kind, category) in zip(events, types):
        assert (TYPES.get(event_id), 0) == (kind, category), (event_id, kind, category)
        assert insert_count(MESSAGES[event_id]) == len(inserts), (event_id, inserts)
    return events


def setUpModule():
    harness.configure_from_environment()


class Reported(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        seed()
        cls.user = json.loads(harness.prefix.run_tool(["/check", "/json"])[1])["user"]

    def run_traced(self, args, stdin=None):
        """(exit code, output lines, events) of one run of the tool."""
        code, out = harness.prefix.run_tool(args, stdin, env=TRACE)
        return code, out.decode("latin-1").split("\r\n")[:-1], reported(harness.prefix.last_stderr)

    def write(self, event_id, key, name, old, new, mode="repair"):
        return event_id, [key, name, old, new, VIEW, mode, self.user]

    def result(self, event_id, line, reason=NO_REASON, mode="repair"):
        return event_id, [line, reason, VIEW, mode, self.user]

    def test_a_repair_reports_its_backup_each_write_and_its_result(self):
        # A control character escaped as everywhere, a non-ASCII one as stored (in UTF-16).
        seed({**BROKEN_SERVER, LDAP_SUFFIX: b"dc=\xe9\x01old\0"}, BROKEN_CLIENT)
        backup = windows_path(os.path.join(self.scratch_folder(), "before.reg"))
        code, lines, events = self.run_traced(["/repair", "/suffix:dc=brimsek,dc=com",
                                               "/backup:" + backup])
        self.assertEqual(0, code, lines)
        self.assertIn(BACKUP_SAVED % backup, lines)
        self.assertEqual([(BACKUP_WRITTEN, [backup, VIEW, "repair", self.user]),
                          self.write(WRITE_MADE, SERVER, LOGIN_AUTH, "no", "Yes"),
                          self.write(WRITE_MADE, SERVER, CR_AUTH, "YES", "Yes"),
                          self.write(WRITE_MADE, SERVER, LDAP_SUFFIX, "dc=\xe9<01>old",
                                     "dc=brimsek,dc=com"),
                          self.write(WRITE_MADE, CLIENT, DN_SUFFIX, "dc=new,dc=com",
                                     "dc=brimsek,dc=com"),
                          self.result(RUN_COMPLIANT, lines[-1])], events)

    def test_a_refused_write_and_a_result_left_not_compliant(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        with read_only(CLIENT):
            code, lines, events = self.run_traced(["/repair", "/suffix:dc=x"])
        self.assertEqual(1, code, lines)
        self.assertEqual([self.write(WRITE_MADE, SERVER, LOGIN_AUTH, "no", "Yes"),
                          self.write(WRITE_MADE, SERVER, CR_AUTH, "YES", "Yes"),
                          self.write(WRITE_MADE, SERVER, LDAP_SUFFIX, "dc=old,dc=com", "dc=x"),
                          self.write(WRITE_REFUSED, CLIENT, DN_SUFFIX, "dc=new,dc=com", "dc=x"),
                          self.result(RUN_FAILED, lines[-1], "notWritable")], events)
        # Without /suffix: Rule One is mended, Rule Two left as it is.
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        code, lines, events = self.run_traced(["/repair"])
        self.assertEqual(2, code, lines)
        self.assertEqual([self.write(WRITE_MADE, SERVER, LOGIN_AUTH, "no", "Yes"),
                          self.write(WRITE_MADE, SERVER, CR_AUTH, "YES", "Yes"),
                          self.result(RUN_NOT_COMPLIANT, lines[-1])], events)

    def test_a_repair_that_fails_or_is_refused_reports_its_failure(self):
        seed(None, GOOD_CLIENT)
        for args, reason in ((["/repair"], "keysUnreadable"),
                             (["/repair", "/suffix:"], "usageError")):
            with self.subTest(args=args):
                code, lines, events = self.run_traced(args)
                self.assertEqual([self.result(RUN_FAILED, lines[-1], reason)], events)
        first = Session()
        first.expect(screen(INFO_QUESTION))
        try:
            code, lines, events = self.run_traced(["/repair"])
            self.assertEqual([self.result(RUN_FAILED, lines[-1], "anotherCopyRunning")], events)
            # The dialogue's line is another; its RESULT line is the verdict's all the same.
            code, lines, events = self.run_traced([], "n\n")
            self.assertEqual([self.result(RUN_FAILED, FAILED + ANOTHER_COPY_REASON,
                                          "anotherCopyRunning", "dialogue")], events)
        finally:
            first.send("n\n")
            first.finish()

    def test_the_dialogue_and_a_dsc_set_name_their_mode(self):
        seed(BROKEN_SERVER, GOOD_CLIENT)
        code, lines, events = self.run_traced([], "n\ndc=brimsek,dc=com\ny\n")
        # It writes both suffixes, as the operator confirmed them.
        self.assertEqual([WRITE_MADE] * 4 + [RUN_COMPLIANT], [event_id for event_id, _ in events])
        self.assertEqual({"dialogue"}, {inserts[-2] for _, inserts in events})
        seed(BROKEN_SERVER, GOOD_CLIENT)
        desired = json.dumps({"suffix": "dc=brimsek,dc=com"}).encode()
        code, lines, events = self.run_traced(["/dsc:set"], desired)
        self.assertEqual([WRITE_MADE] * 3 + [RUN_COMPLIANT], [event_id for event_id, _ in events])
        self.assertEqual({"dsc set"}, {inserts[-2] for _, inserts in events})
        # A desired state it refuses is a set that failed.
        code, lines, events = self.run_traced(["/dsc:set"], b"{")
        self.assertEqual([(RUN_FAILED, "usageError", "dsc set")],
                         [(event_id, inserts[1], inserts[-2]) for event_id, inserts in events])

    def test_runs_that_write_nothing_and_do_not_fail_report_nothing(self):
        for server, client, args, stdin in [
                (BROKEN_SERVER, BROKEN_CLIENT, ["/check"], None),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/check", "/json"], None),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/repair", "/whatif", "/suffix:dc=x"], None),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:set", "/whatif"], b'{"suffix":"dc=x"}'),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:get"], b""),
                (BROKEN_SERVER, BROKEN_CLIENT, ["/dsc:test"], b'{"suffix":"dc=x"}'),
                (GOOD_SERVER, GOOD_CLIENT, ["/repair"], None),
                (GOOD_SERVER, GOOD_CLIENT, [], "n\n"),
                # Only a run that was to write reports its failure.
                (None, GOOD_CLIENT, ["/check"], None),
                (None, GOOD_CLIENT, ["/repair", "/whatif"], None)]:
            seed(server, client)
            with self.subTest(args=args, server=server):
                code, lines, events = self.run_traced(args, stdin)
                self.assertEqual([], events, lines)
                self.assertNotIn(b"RegisterEventSource", harness.prefix.last_stderr)


class MessageTable(unittest.TestCase):
    def test_every_message_renders_whole_with_its_inserts_from_each_built_exe(self):
        probe = os.path.join(harness.BUILD, "tests", "messageprobe.exe")
        other = os.path.join(os.path.dirname(harness.BUILD), "x86_64" if harness.BITS == 32 else "i686",
                             "Sorvane64.exe" if harness.BITS == 32 else "Sorvane.exe")
        exes = [harness.EXE] + ([other] if os.path.isfile(other) else [])
        self.assertEqual(sorted(TYPES), sorted(MESSAGES))
        for exe in exes:
            for message_id, lines in MESSAGES.items():
                # Each insert its own, with text beyond Latin-1 and a percent sign.
                inserts = ["v%d \u0434\u043e\u043c %%1" % n for n in range(1, insert_count(lines) + 1)]
                with self.subTest(exe=os.path.basename(exe), id=message_id):
                    self.assertTrue(all(line.isascii() for line in lines), lines)
                    code, out = harness.prefix.run([probe, windows_path(exe), str(message_id),
                                                    *inserts], stdin=b"")
                    self.assertEqual((0, rendered(lines, inserts)), (code, out.decode("utf-8")))
        if len(exes) == 1:
            print("only %s: the other build is not built beside it" % os.path.basename(harness.EXE))


if __name__ == "__main__":
    unittest.main()
