"""The unattended modes as a fleet tool drives them: standard input left open
and silent, the exit code and the last (RESULT) line read, the registry checked
afterwards, a backup restored with Wine's own reg.exe, the audit log read."""

import json
import os
import unittest

import harness
from harness import (BROKEN_CLIENT, BROKEN_SERVER, GOOD_CLIENT, GOOD_SERVER, MISMATCHED_SERVER,
                     Session,
                     ToolTestCase, probe, read_only, run_tool, seed, tool_lines, values,
                     windows_path, wine_reg)
from texts import (ALREADY_WRITTEN, ANOTHER_COPY_REASON, BACKUP_FAILED, BACKUP_SAVED,
                   BACKUP_UPDATED, CHECK_OK, CLIENT,
                   COMPLIANT, COMPLIANT_AFTER, COULD_NOT_OPEN, CR_AUTH, CURRENTLY, DN_SUFFIX,
                   FAILED, GIVE_SUFFIX, INFO_QUESTION, LDAP_SUFFIX, LOGIN_AUTH, NOT_COMPLIANT,
                   QUIT_NOTICE,
                   NOT_YES, OPEN_PROGRESS, READ_FAILED, SERVER, SUFFIXES_APART, SUFFIXES_DIFFER,
                   SUFFIXES_OK, VALUES, WHATIF, WHATIF_NO_LOG, WRITE_FAILED, WRITING, screen)


def setUpModule():
    harness.configure_from_environment()


def stored():
    """The four values exactly as stored (type number, UTF-16 bytes)."""
    args = []
    for key, name in VALUES:
        args += ["dumpw", key, name]
    return dict(zip((name for _, name in VALUES), probe(*args)))


class Check(ToolTestCase):
    def test_compliant_settings(self):
        seed()
        code, lines = tool_lines("/check")
        self.assertEqual(0, code, lines)
        self.assertEqual([CHECK_OK % (LOGIN_AUTH, "Yes"), CHECK_OK % (CR_AUTH, "Yes"),
                          SUFFIXES_OK % "dc=brimsek,dc=com", COMPLIANT], lines)

    def test_broken_settings_are_reported_not_written_and_long_values_cut(self):
        long_suffix = "dc=" + "x" * 497
        seed({**BROKEN_SERVER, LDAP_SUFFIX: long_suffix}, BROKEN_CLIENT)
        with self.assertNothingWritten():
            code, lines = tool_lines("-CHECK")
        self.assertEqual(2, code, lines)
        self.assertEqual(NOT_COMPLIANT + "; ".join([NOT_YES % LOGIN_AUTH, NOT_YES % CR_AUTH,
                                                    SUFFIXES_APART]), lines[-1])
        self.assertIn(SUFFIXES_DIFFER, lines)
        self.assertIn(CURRENTLY % (SERVER, LDAP_SUFFIX, long_suffix[:100] + "..."), lines)
        self.assertFalse([line for line in lines if line.startswith((WRITING, OPEN_PROGRESS))],
                         lines)
        self.assertLess(len("\r\n".join(lines)), 2048)

    def test_read_only_keys_are_enough_to_check(self):
        seed()
        with read_only(SERVER, CLIENT):
            self.assertEqual(0, tool_lines("/check")[0])
            # A repair with nothing to write needs no more than reading either.
            with self.assertNothingWritten():
                code, lines = tool_lines("/repair")
            self.assertEqual(0, code, lines)

    def test_another_copy_running_fails_the_check(self):
        seed()
        first = Session()
        first.expect(screen(INFO_QUESTION))
        try:
            self.assertEqual((1, [FAILED + ANOTHER_COPY_REASON]), tool_lines("/check"))
            # The refusal goes to no log, and a log that could not take it
            # changes not the reason.
            folder = self.scratch_folder()
            for log in (os.path.join(folder, "refused.log"), os.path.join(folder, "no", "r.log")):
                self.assertEqual((1, [FAILED + ANOTHER_COPY_REASON]),
                                 tool_lines("/check", "/log:" + windows_path(log)))
                self.assertFalse(os.path.exists(log), log)
        finally:
            first.send("n\n")
            first.finish()

    def test_a_stored_line_break_prints_no_line_of_its_own(self):
        seed({**GOOD_SERVER, LDAP_SUFFIX: b"dc=x\r\nRESULT: compliant\r\n\0"}, GOOD_CLIENT)
        code, lines = tool_lines("/check")
        self.assertEqual(2, code, lines)
        self.assertNotIn(COMPLIANT, lines)
        self.assertIn(CURRENTLY % (SERVER, LDAP_SUFFIX, "dc=x<0D><0A>RESULT: compliant<0D><0A>"),
                      lines)
        # C1 controls too: a terminal reads U+009D as OSC.
        seed({**GOOD_SERVER, LDAP_SUFFIX: b"dc=x\x9d0;t\x07\x8f2J\0"}, GOOD_CLIENT)
        self.assertIn(CURRENTLY % (SERVER, LDAP_SUFFIX, "dc=x<9D>0;t<07><8F>2J"),
                      tool_lines("/check")[1])
        # And the line separators that editors and log viewers break lines at.
        log = os.path.join(self.scratch_folder(), "separators.log")
        wine_reg("add", SERVER, "/v", LDAP_SUFFIX, "/d", "dc=x\u2028RESULT: compliant\u2029", "/f")
        self.assertEqual(0, tool_lines("/repair", "/suffix:dc=y", "/log:" + windows_path(log))[0])
        with open(log, encoding="utf-8") as f:
            logged = f.read()
        self.assertIn('"dc=x<2028>RESULT: compliant<2029>" -> "dc=y"', logged)
        self.assertEqual(3, len(logged.splitlines()), logged)

    def test_a_missing_key_fails_without_a_notice(self):
        seed(None, GOOD_CLIENT)
        code, lines = tool_lines("/check")
        self.assertEqual(1, code)
        self.assertEqual([COULD_NOT_OPEN % SERVER, FAILED + READ_FAILED], lines)


class Repair(ToolTestCase):
    def setUp(self):
        self.folder = self.scratch_folder()

    def path(self, name):
        return os.path.join(self.folder, name)

    def seed_awkward(self):
        """Values a backup must restore exactly: an expandable string, quotes
        and backslashes, Cyrillic text (stored with reg.exe, which keeps the
        Unicode text it is given)."""
        seed(GOOD_SERVER, GOOD_CLIENT)
        for key, name, kind, data in (
                (SERVER, LOGIN_AUTH, "REG_EXPAND_SZ", "%SystemRoot%\\yes"),
                (SERVER, CR_AUTH, "REG_SZ", 'say "yes" \\ no'),
                (SERVER, LDAP_SUFFIX, "REG_SZ", "dc=дом,dc=ru"),
                (CLIENT, DN_SUFFIX, "REG_SZ", "dc=жук,dc=ru")):
            code, out = wine_reg("add", key, "/v", name, "/t", kind, "/d", data, "/f")
            self.assertEqual(0, code, out)

    def test_repair_with_backup_and_log_then_restore(self):
        self.seed_awkward()
        before = stored()
        backup, log = self.path("before.reg"), self.path("audit.log")
        code, lines = tool_lines("/repair", "/suffix:dc=brimsek,dc=com",
                                 "/backup:" + windows_path(backup), "/log:" + windows_path(log))
        self.assertEqual(0, code, lines)
        self.assertEqual(COMPLIANT_AFTER % 4, lines[-1])
        # The backup is named before the first write.
        self.assertEqual(BACKUP_SAVED % windows_path(backup), lines[-6])
        self.assertEqual(0, tool_lines("/check")[0])
        with open(backup, "rb") as f:
            first = f.read()
        self.assertTrue(first.startswith(b"\xff\xfeW\0i\0n\0"), first[:20])
        self.assertIn("reg import", first.decode("utf-16"))

        # The same run again: compliant, no write, no second backup needed.
        code, lines = tool_lines("/repair", "/log:" + windows_path(log))
        self.assertEqual((0, COMPLIANT_AFTER % 0), (code, lines[-1]))
        with open(log, encoding="utf-8") as f:
            logged = f.read().splitlines()
        self.assertEqual(7, len(logged), logged)
        self.assertTrue(logged[0].endswith(BACKUP_SAVED % windows_path(backup)), logged)
        # Quotes and backslashes in a value are escaped: it cannot close its quotes.
        self.assertIn(CR_AUTH + ' : "say \\"yes\\" \\\\ no" -> "Yes"', logged[2])
        self.assertIn(LDAP_SUFFIX + ' : "dc=дом,dc=ru" -> "dc=brimsek,dc=com"', logged[3])
        self.assertTrue(logged[5].endswith(COMPLIANT_AFTER % 4), logged)
        self.assertTrue(logged[6].endswith(COMPLIANT_AFTER % 0), logged)
        for line in logged:
            self.assertRegex(line, r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \S+ \S+ ")

        # A repeated repair never replaces the first backup: its own goes
        # beside it, and the document names it.
        self.seed_awkward()
        code, out = harness.prefix.run_tool(
            ["/repair", "/suffix:dc=brimsek,dc=com", "/backup:" + windows_path(backup), "/json"])
        document = json.loads(out)
        self.assertEqual(0, code, document)
        stem = windows_path(backup)[:-len(".reg")] + "-"
        self.assertTrue(document["backupFile"].startswith(stem), document["backupFile"])
        self.assertEqual(2, len([name for name in os.listdir(os.path.dirname(backup))
                                 if name.endswith(".reg")]))
        with open(backup, "rb") as f:
            self.assertEqual(first, f.read())

        code, out = wine_reg("import", windows_path(backup))
        self.assertEqual(0, code, out)
        self.assertEqual(before, stored())

    def test_without_a_suffix_rule_two_is_left_and_reported(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        code, lines = tool_lines("/repair")
        self.assertEqual(2, code, lines)
        # It wrote the flags: the count tells, and what is still wrong follows.
        self.assertEqual("RESULT: not compliant, 2 changes made - " + SUFFIXES_APART +
                         GIVE_SUFFIX, lines[-1])
        after = values()
        self.assertEqual(b"Yes\0", after[CR_AUTH][1])
        self.assertEqual(b"dc=old,dc=com\0", after[LDAP_SUFFIX][1])

    def test_whatif_writes_nothing_and_exits_as_check(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        log = self.path("never.log")
        with self.assertNothingWritten():
            code, lines = tool_lines("/repair", "/whatif", "/suffix:dc=x", "/backup:" +
                                     windows_path(self.path("never.reg")),
                                     "/log:" + windows_path(log))
        self.assertEqual(2, code, lines)
        self.assertIn(WHATIF % (CLIENT, DN_SUFFIX, "dc=x"), lines)
        self.assertEqual(WHATIF_NO_LOG + windows_path(log), lines[-2])
        self.assertFalse(os.path.exists(self.path("never.reg")))
        self.assertFalse(os.path.exists(log))
        # A check logs one line, which says it was a check.
        code, lines = tool_lines("/check", "/log:" + windows_path(log))
        with open(log, encoding="utf-8") as f:
            logged = f.read().splitlines()
        self.assertEqual(1, len(logged), logged)
        self.assertTrue(logged[0].endswith(" CHECK " + lines[-1]), logged)
        # Output stays within what Intune keeps, whatever the values hold.
        long = "x" * 511
        seed({LOGIN_AUTH: long, CR_AUTH: long, LDAP_SUFFIX: long}, {DN_SUFFIX: "y" * 511})
        code, out = harness.prefix.run_tool(["/repair", "/whatif", "/suffix:" + "z" * 511])
        self.assertLess(len(out), 2048, out)
        self.assertIn((WHATIF % (CLIENT, DN_SUFFIX, "z" * 100 + "...")).encode(), out)

    def test_a_write_refused_part_way_names_what_was_written(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        log = self.path("refused.log")
        with read_only(CLIENT):
            code, lines = tool_lines("/repair", "/suffix:dc=x", "/log:" + windows_path(log))
        self.assertEqual(1, code, lines)
        with open(log, encoding="utf-8") as f:
            logged = f.read().splitlines()
        # Each write is logged before it is made; the refused one says so.
        self.assertEqual(["WRITE"] * 4 + ["REFUSED", "RESULT:"],
                         [line.split(" ")[4] for line in logged])
        self.assertEqual(FAILED + WRITE_FAILED % (CLIENT, DN_SUFFIX) + ALREADY_WRITTEN +
                         ", ".join([LOGIN_AUTH, CR_AUTH, LDAP_SUFFIX]), lines[-1])
        after = values()
        self.assertEqual(b"dc=x\0", after[LDAP_SUFFIX][1])
        self.assertEqual(b"dc=new,dc=com\0", after[DN_SUFFIX][1])
        # The document's values are read back after the writes, failed or not.
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        with read_only(CLIENT):
            report = json.loads(harness.prefix.run_tool(["/json", "/repair", "/suffix:dc=y"])[1])
        self.assertEqual(("failed", ["Yes", "Yes", "dc=y", "dc=new,dc=com"]),
                         (report["result"], [v["text"] for v in report["values"]]))

    def test_file_names_are_taken_as_typed(self):
        # Best fit would make the full-width letters b and l, and under code
        # page 932 the second byte of ソ is the byte of a backslash.
        for env, backup, log in (({}, "\uff42.reg", "\uff4c.log"),
                                 (harness.locale_env("ja_JP.UTF-8"), "\u30bd\u30d5\u30c8.reg", "ja.log")):
            seed(BROKEN_SERVER, BROKEN_CLIENT)
            for name in ("b.reg", "l.log"):
                with open(self.path(name), "w") as f:
                    f.write("keep")
            code, out = harness.prefix.run_tool(
                ["/repair", "/backup:" + windows_path(self.path(backup)),
                 "/log:" + windows_path(self.path(log))], b"", env=env)
            self.assertEqual(2, code, out)
            for name in ("b.reg", "l.log"):
                with open(self.path(name)) as f:
                    self.assertEqual("keep", f.read(), (env, name))
            with open(self.path(backup), "rb") as f:
                self.assertIn(windows_path(self.path(backup)), f.read().decode("utf-16"))
            with open(self.path(log), encoding="utf-8") as f:
                # the backup's name, two writes and the RESULT line
                self.assertEqual(4, len(f.read().splitlines()), env)
        # A backup dated into a long folder is named whole, on the screen and
        # in the log: the name is what tells two runs' backups apart.
        folder, log = self.path("f" * 150), self.path("long.log")
        os.mkdir(folder)
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        code, lines = tool_lines("/repair", "/backup:" + windows_path(folder),
                                 "/log:" + windows_path(log))
        saved = [line[len(BACKUP_SAVED % ""):] for line in lines if line.startswith("BACKUP")]
        self.assertEqual([windows_path(os.path.join(folder, os.listdir(folder)[0]))], saved)
        with open(log, encoding="utf-8") as f:
            self.assertIn(BACKUP_SAVED % saved[0], f.read())

    def test_backup_and_log_hold_what_the_writes_replaced(self):
        # While the operator types the value, someone changes DNSuffix: the
        # records hold the value the write replaced, not the one first read,
        # also where Rule One's writes made the backup before the question.
        for server in (MISMATCHED_SERVER, BROKEN_SERVER):
            with self.subTest(server=server):
                seed(server, BROKEN_CLIENT)
                backup, log = self.path("race.reg"), self.path("race.log")
                for name in (backup, log):
                    if os.path.exists(name):
                        os.remove(name)
                session = Session(args=["/backup:" + windows_path(backup),
                                        "/log:" + windows_path(log)])
                session.expect(INFO_QUESTION)
                session.send("n\n")
                session.expect(">>")
                probe("set", CLIENT, DN_SUFFIX, "sz", b"dc=changed-by-admin\0".hex())
                session.send("dc=x\ny\n")
                out = session.finish()
                with open(log, encoding="utf-8") as f:
                    logged = f.read()
                self.assertIn('DNSuffix : "dc=changed-by-admin" -> "dc=x"', logged)
                if server is BROKEN_SERVER:
                    self.assertIn(screen(BACKUP_UPDATED % windows_path(backup)), out)
                    self.assertIn(BACKUP_UPDATED % windows_path(backup), logged)
                self.assertEqual(0, wine_reg("import", windows_path(backup))[0])
                restored = values()
                self.assertEqual(b"dc=changed-by-admin\0", restored[DN_SUFFIX][1])
                self.assertEqual(server[LOGIN_AUTH].encode() + b"\0", restored[LOGIN_AUTH][1])
        # A value gone meanwhile stops the suffix's writes, and the screen names
        # what Rule One wrote before the question: nothing reads as unchanged.
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        session = Session(args=["/log:" + windows_path(self.path("gone.log"))])
        session.expect(INFO_QUESTION)
        session.send("n\n")
        session.expect(">>")
        self.assertEqual(0, wine_reg("delete", SERVER, "/v", CR_AUTH, "/f")[0])
        session.send("dc=x\ny\n")
        session.expect(screen(QUIT_NOTICE))
        session.send("q\n")
        out = session.finish()
        self.assertIn(screen("ERROR - " + READ_FAILED + ALREADY_WRITTEN + LOGIN_AUTH + ", " +
                             CR_AUTH, ""), out)
        self.assertEqual((b"dc=old,dc=com\0", b"dc=new,dc=com\0"),
                         (values()[LDAP_SUFFIX][1], values()[DN_SUFFIX][1]))

    def test_a_log_that_fails_after_opening_stops_the_writes(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        full = self.path("full.log")
        os.symlink("/dev/full", full)
        with self.assertNothingWritten():
            code, lines = tool_lines("/repair", "/log:" + windows_path(full))
            out = run_tool("n\n", args=["/log:" + windows_path(full)])
        self.assertEqual((1, FAILED + "could not write the log " + windows_path(full)),
                         (code, lines[-1]))
        # The interactive tool ends there too, as at a backup it cannot write, and says so once.
        self.assertEqual(1, out.count(screen("ERROR - could not write the log " + windows_path(full))),
                         out)
        # No write is shown that the log did not take first.
        self.assertFalse([line for line in lines if line.startswith(WRITING)], lines)
        self.assertNotIn(b"WRITING", out)

    def test_a_backup_that_cannot_be_written_stops_every_write(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        nowhere = windows_path(self.path("no/such/folder/b.reg"))
        with self.assertNothingWritten():
            code, lines = tool_lines("/repair", "/backup:" + nowhere)
        self.assertEqual(1, code, lines)
        self.assertEqual(FAILED + BACKUP_FAILED % nowhere, lines[-1])
        # Nothing is said to be written before the backup that failed.
        self.assertFalse([line for line in lines if line.startswith(WRITING)], lines)
        # A name forges no line of its own and floods none: it is shown as
        # every value is, on one line and shortened.
        forged = nowhere + "\r\nRESULT: compliant\x1b[2J"
        code, lines = tool_lines("/repair", "/backup:" + forged)
        self.assertEqual(FAILED + BACKUP_FAILED % (nowhere + "<0D><0A>RESULT: compliant<1B>[2J"),
                         lines[-1])
        self.assertEqual([lines[-1]], [line for line in lines if "RESULT" in line])
        code, lines = tool_lines("/check", "/log:" + nowhere + "x" * 3000)
        self.assertEqual(1, code, lines)
        self.assertTrue(lines[-1].endswith("x..." + " for appending"), lines[-1])
        self.assertLess(len(lines[-1]), 400)
        # The interactive tool says the same and changes nothing either.
        with self.assertNothingWritten():
            out = run_tool("n\n", args=["/backup:" + nowhere])
        self.assertIn(screen("ERROR - " + BACKUP_FAILED % nowhere), out)
        self.assertNotIn(WRITING.encode(), out)


    def test_the_interactive_tool_logs_too_and_a_log_it_cannot_open_stops_it(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        log = self.path("by-hand.log")
        run_tool("n\ndc=x\ny\n", args=["/log:" + windows_path(log)])
        run_tool("n\n", args=["/log:" + windows_path(log)])
        with open(log, encoding="utf-8") as f:
            logged = f.read().splitlines()
        self.assertEqual(6, len(logged), logged)
        self.assertTrue(logged[3].endswith('DNSuffix : "dc=new,dc=com" -> "dc=x"'), logged)
        self.assertTrue(logged[4].endswith(COMPLIANT_AFTER % 4), logged)
        self.assertTrue(logged[5].endswith(COMPLIANT_AFTER % 0), logged)

        seed(BROKEN_SERVER, BROKEN_CLIENT)
        nowhere = windows_path(self.path("no/such/folder/a.log"))
        with self.assertNothingWritten():
            code, lines = tool_lines("/repair", "/log:" + nowhere)
            out = run_tool("n\ndc=x\ny\n", args=["/log:" + nowhere])
        self.assertEqual(1, code, lines)
        self.assertEqual([FAILED + "could not open the log %s for appending" % nowhere], lines)
        self.assertNotIn(INFO_QUESTION.encode(), out)


class Json(ToolTestCase):
    """/json: one document in plain ASCII, read here as a fleet tool reads it."""

    def document(self, *args):
        code, out = harness.prefix.run_tool(["/json", *args])
        self.assertTrue(out, "no output from %r, exit code %d" % (args, code))
        self.assertTrue(all(b < 0x80 for b in out), out)
        report = json.loads(out.decode("ascii"))
        self.assertEqual(code, report["exitCode"], report)
        return report

    def test_values_as_stored_problems_and_writes(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        for key, name, data in ((SERVER, LDAP_SUFFIX, "dc=дом"), (CLIENT, DN_SUFFIX, "dc=café")):
            self.assertEqual(0, wine_reg("add", key, "/v", name, "/d", data, "/f")[0])
        probe("set", SERVER, CR_AUTH, "sz", b"Yes\r\nRESULT: compliant\0".hex())
        report = self.document("/check")
        self.assertEqual(("Sorvane", "check", "not compliant", "%d-bit" % harness.BITS, "32-bit"),
                         (report["tool"], report["mode"], report["result"], report["build"],
                          report["view"]))
        self.assertEqual([(SERVER, LOGIN_AUTH, "REG_SZ", "no", True, False),
                          (SERVER, CR_AUTH, "REG_SZ", "Yes\r\nRESULT: compliant", True, False),
                          (SERVER, LDAP_SUFFIX, "REG_SZ", "dc=дом", False, False),
                          (CLIENT, DN_SUFFIX, "REG_SZ", "dc=café", True, False)],
                         [(v["key"], v["name"], v["type"], v["text"], v["representable"],
                           v["passes"]) for v in report["values"]])
        self.assertEqual([NOT_YES % LOGIN_AUTH, NOT_YES % CR_AUTH, SUFFIXES_APART],
                         report["problems"])
        self.assertEqual((2, [], 0), (report["exitCode"], report["writes"], report["changesMade"]))

        report = self.document("/repair", "/suffix:dc=café")
        self.assertEqual(("compliant", 0, 3), (report["result"], report["exitCode"],
                                               report["changesMade"]))
        self.assertEqual([(LOGIN_AUTH, "no", "Yes"), (CR_AUTH, "Yes\r\nRESULT: compliant", "Yes"),
                          (LDAP_SUFFIX, "dc=дом", "dc=café")],
                         [(w["name"], w["old"], w["new"]) for w in report["writes"]
                          if w["done"]])
        self.assertEqual(["Yes", "Yes", "dc=café", "dc=café"],
                         [v["text"] for v in report["values"]])

    def test_failures_and_usage_errors_are_documents_too(self):
        seed(None, GOOD_CLIENT)
        report = self.document("/check")
        self.assertEqual(("failed", READ_FAILED, 1, []),
                         (report["result"], report["reason"], report["exitCode"],
                          report["values"]))
        for args, reason in ((["/check", "/repair"], "/check and /repair cannot be used together."),
                             ([], "/json works only with /check or /repair.")):
            report = self.document(*args)
            self.assertEqual(("failed", reason, 1, None),
                             (report["result"], report["reason"], report["exitCode"],
                              report["mode"] if not args else None))


class Usage(ToolTestCase):
    def test_question_mark_shows_the_usage_whatever_else_is_given(self):
        # What the usage says is the command line tests' to prove.
        for args in (["/?"], ["-?", "1"], ["/?", "/bogus"]):
            code, lines = tool_lines(*args)
            self.assertEqual((0, "Usage: Sorvane [/check | /repair [/suffix:VALUE] [/whatif]] [/json]"),
                             (code, lines[0]), args)
        # A call that names a mode gets a usage error (the table below), and
        # /json its document: a fleet tool takes exit 0 for compliant.
        code, out = harness.prefix.run_tool(["/json", "/?"])
        self.assertEqual((1, "failed"), (code, json.loads(out)["result"]))

    def test_usage_errors_read_and_write_nothing(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        log = os.path.join(self.scratch_folder(), "never.log")
        with self.assertNothingWritten():
            for args in (["/check", "/x"], ["/check", "/repair"], ["/check", "/suffix:dc=x"],
                         ["/whatif"], ["/suffix:dc=x"], ["/repair", "/suffix:"],
                         ["/repair", "/suffix:dc=\x01"], ["/repair", "/suffix:dc=a "],
                         # Best-fit conversion to code page 1252 would make it "dc=???".
                         ["/repair", "/suffix:dc=дом"],
                         ["/repair", "/suffix:" + "x" * 512], ["/reg:16"], ["/check", "/reg:"],
                         ["/backup:"], ["/check", "/log:"], ["1", "/whatif"],
                         ["/check", "y" * 2000], ["-?", "/check"],
                         ["/repair", "/suffix:x", "/?"],
                         # One file for both would replace the log's history.
                         ["/repair", "/backup:" + windows_path(log).upper()],
                         ["/repair", "/backup:" + windows_path(log).replace(
                             "never.log", "..\\" + os.path.basename(os.path.dirname(log)) +
                             "\\.\\never.log")],
                         ["/repair", "/backup:\\\\?\\" + windows_path(log)],
                         ["/repair", "/backup:\\\\.\\" + windows_path(log)]):
                code, lines = tool_lines(*args, "/log:" + windows_path(log))
                self.assertEqual(1, code, args)
                self.assertEqual(1, len(lines), (args, lines))
                self.assertTrue(lines[0].startswith(FAILED), (args, lines))
                self.assertLess(len(lines[0]), 200, args)
        self.assertFalse(os.path.exists(log))
        self.assertEqual(FAILED + "/backup and /log name the same file.", lines[0])


if __name__ == "__main__":
    unittest.main()
