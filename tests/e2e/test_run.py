"""The real tool under Wine: whole runs with scripted standard input, compared
byte for byte with expected transcripts, and the registry checked afterwards."""

import os
import subprocess
import unittest

import harness
from harness import (BROKEN_CLIENT, BROKEN_SERVER, GOOD_CLIENT, GOOD_SERVER, MISMATCHED_SERVER,
                     RUN_TIMEOUT, Session, ToolTestCase, prefix, run_tool, seed, text_of,
                     transcript, values, windows_path, wine_ready, wine_reg)
from texts import (ANOTHER_COPY, CHANGES_MADE, CLIENT, CONFIRM_QUESTION, CORRECTION_NEEDED,
                   CR_AUTH, CURRENTLY, DN_SUFFIX, ENTERED, FINISHED_END, HELP_BLOCK, INFO_QUESTION,
                   LDAP_SUFFIX, LOGIN_AUTH, MUST_MATCH, NOT_ONE_WORD, NOT_REPRESENTABLE,
                   NOT_STORABLE, PROMPT, QUIT_NOTICE, SERVER, SHOULD_BE_YES, SUFFIXES_OK, TOO_LONG,
                   VALUE_PROMPT, screen)


def setUpModule():
    harness.configure_from_environment()


class AllRulesMet(ToolTestCase):
    def setUp(self):
        seed()

    def test_terse_run_prints_only_the_question_and_the_end(self):
        self.assertTranscript("terse_all_ok.txt", run_tool("n\n"))

    def test_verbose_run_shows_progress_and_checks_and_writes_nothing(self):
        with self.assertNothingWritten():
            self.assertTranscript("verbose_all_ok.txt", run_tool("n\n", verbose=True))

    def test_any_argument_selects_verbose_and_the_switches_keep_it_terse(self):
        # Not only "1": any argument that is no switch, a switch it does not
        # know, two words in one argument, several arguments. /reg: and /log:
        # leave the interactive tool as it is.
        log = windows_path(os.path.join(self.scratch_folder(), "a.log"))
        cases = [(args, "verbose_all_ok.txt") for args in
                 (["v"], ["0"], ["/x"], ["-1"], ["two words"], ["a", "b"], ["-1", "extra"])]
        cases.append((["/reg:32", "/log:" + log], "terse_all_ok.txt"))
        for args, name in cases:
            with self.subTest(args=args):
                code, out = prefix.run_tool(args, "N\n")
                self.assertEqual(0, code)
                self.assertTranscript(name, out)

    def test_information_question_reasks_until_yes(self):
        # "maybe": m and a re-ask, y shows the screen, b and e stay pending.
        self.assertTranscript("information_screen.txt", run_tool("maybe\n"))


class RuleOne(ToolTestCase):
    def test_lower_case_and_trailing_blank_are_corrected(self):
        seed({**GOOD_SERVER, LOGIN_AUTH: "yes", CR_AUTH: "Yes "}, GOOD_CLIENT)
        self.assertTranscript("rule_one_terse.txt", run_tool("n\n"))
        after = values()
        for name in (LOGIN_AUTH, CR_AUTH):
            self.assertEqual("sz", after[name][0])
            self.assertEqual("Yes", text_of(after[name]))

    def test_dword_in_place_of_a_string_reads_as_its_bytes(self):
        # A DWORD 0 reads as an empty text, which is not "Yes".
        seed({**GOOD_SERVER, CR_AUTH: 0}, GOOD_CLIENT)
        self.assertTranscript("dword_in_place_of_string.txt", run_tool("n\n"))
        self.assertEqual(("sz", "Yes"), (values()[CR_AUTH][0], text_of(values()[CR_AUTH])))

    def test_data_of_another_type_never_passes_and_is_written_as_a_string(self):
        # Each reads as "Yes" to a read that ignores the type; a program that
        # reads the value as a string sees none of them. The line names the
        # type, and a DWORD shows as the number it holds.
        for data, shown in ((("binary", b"Yes"), "Yes (REG_BINARY)"),
                            (int.from_bytes(b"Yes\0", "little"), "7562585 (REG_DWORD)"),
                            (("multi_sz", b"Yes\0No\0\0"), "Yes (REG_MULTI_SZ)"),
                            (("expand_sz", b"Yes\0"), "Yes (REG_EXPAND_SZ)")):
            seed({**GOOD_SERVER, LOGIN_AUTH: data}, GOOD_CLIENT)
            out = run_tool("n\n")
            self.assertIn(screen(CORRECTION_NEEDED + CURRENTLY % (SERVER, LOGIN_AUTH, shown)), out)
            self.assertEqual(("sz", b"Yes\0"), values()[LOGIN_AUTH], shown)
            seed({**GOOD_SERVER, LOGIN_AUTH: data}, GOOD_CLIENT)
            self.assertEqual(2, prefix.tool_lines("/check")[0], shown)
            self.assertEqual(0, prefix.tool_lines("/repair")[0], shown)
            self.assertEqual(("sz", b"Yes\0"), values()[LOGIN_AUTH], shown)
        # Rule Two: binary bytes spelling the client's text are not that text.
        seed({**GOOD_SERVER, LDAP_SUFFIX: ("binary", b"dc=brimsek,dc=com")}, GOOD_CLIENT)
        out = run_tool("n\nq\n")
        self.assertIn(screen(CURRENTLY % (SERVER, LDAP_SUFFIX, "dc=brimsek,dc=com (REG_BINARY)")),
                      out)


class RuleTwo(ToolTestCase):
    def test_both_rules_broken_and_confirmed_makes_four_changes(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        out = run_tool("n\ndc=brimsek,dc=com\ny\n", verbose=True)
        self.assertTranscript("both_rules_verbose.txt", out)
        after = values()
        self.assertEqual("dc=brimsek,dc=com", text_of(after[LDAP_SUFFIX]))
        self.assertEqual("dc=brimsek,dc=com", text_of(after[DN_SUFFIX]))
        self.assertEqual("Yes", text_of(after[CR_AUTH]))

    def test_no_help_and_quit_write_nothing(self):
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        with self.assertNothingWritten():
            out = run_tool("n\nfirst\nn\nsecond\nh\nthird\nq\n")
        self.assertTranscript("dialogue_no_help_quit.txt", out)

    def test_value_sharing_its_line_is_refused_and_answers_nothing(self):
        # The 'y' of the second word must not confirm "dc=corp,"; after "no yes"
        # the 'n' goes back to the prompt, where "o" shares its line with "yes".
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        out = run_tool("n\ndc=corp, dc=yoyodyne\ndc=corp,dc=yoyodyne\nno yes\n"
                       "dc=corp,dc=yoyodyne\ny\n")
        self.assertTranscript("dialogue_two_words.txt", out)
        self.assertEqual("dc=corp,dc=yoyodyne", text_of(values()[DN_SUFFIX]))

    def test_refused_value_is_asked_for_again_and_the_next_one_written(self):
        # Each refused line, then an accepted value with blanks after it.
        longest = "d" * 511
        for refused, refusal, accepted in (("dc=a dc=b", NOT_ONE_WORD, "dc=ok"),
                                           ("dc=a\tyes", NOT_ONE_WORD, "dc=ok"),
                                           ("dc=\x01", NOT_STORABLE, "dc=ok"),
                                           ("dc=\x7f", NOT_STORABLE, "dc=ok"),
                                           ("dc=a\0b", NOT_STORABLE, "dc=ok"),
                                           ("x" * 512, TOO_LONG, longest)):
            with self.subTest(refused=refused[:10]):
                seed(MISMATCHED_SERVER, BROKEN_CLIENT)
                out = run_tool("n\n%s\n%s  \ny\n" % (refused, accepted))
                self.assertIn(screen(PROMPT + refusal, "", VALUE_PROMPT,
                                     PROMPT + ENTERED % accepted), out)
                self.assertEqual(1, out.count((ENTERED % "").encode()), out)
                after = values()
                self.assertEqual([("sz", accepted.encode() + b"\0")] * 2,
                                 [after[LDAP_SUFFIX], after[DN_SUFFIX]])
        # The longest accepted value reads back: a second run is clean.
        self.assertTranscript("terse_all_ok.txt", run_tool("n\n"))

    def test_repaired_settings_need_no_change_on_the_next_run(self):
        seed(BROKEN_SERVER, {DN_SUFFIX: "dc=a-much-longer-suffix,dc=example,dc=com"})
        run_tool("n\ndc=x,dc=y\ny\n")
        # The new suffix is shorter than the old client one; nothing stale may
        # follow it when read back.
        self.assertTranscript("terse_all_ok.txt", run_tool("n\n"))
        out = run_tool("n\n", verbose=True)
        self.assertIn(screen(SUFFIXES_OK % "dc=x,dc=y"), out)
        self.assertNotIn(CORRECTION_NEEDED.encode(), out)


class EndOfInput(ToolTestCase):
    def test_at_each_prompt(self):
        at_info, at_dialogue = (BROKEN_SERVER, BROKEN_CLIENT), (MISMATCHED_SERVER, BROKEN_CLIENT)
        # The seeded keys (server, client), the arguments, standard input, the
        # transcript (a name) or the output's tail (bytes), the exit code, and
        # the values written before the input ended.
        rows = {
            # Not a clean run: it says that nothing was checked; and a mistyped
            # switch starts this tool too, so a fleet tool reads the exit code.
            "information question": (at_info, [], "", "no_input.txt", 1, {}),
            "information question, blank lines": (at_info, [], "\n\n  \n", "no_input.txt", 1,
                                                  {}),
            "information question, /chek": (at_info, ["/chek"], "", "no_input.txt", 1, {}),
            # Two answers that are neither yes nor no re-ask twice, then input ends.
            "information question, re-asked": (at_info, [], "x z\n", screen(INFO_QUESTION) * 2 +
                                               transcript("no_input.txt"), 1, {}),
            # Rule Two is left alone.
            "value prompt": (at_dialogue, [], "n\n", "dialogue_end_at_value_prompt.txt", 0, {}),
            "confirmation question": (at_dialogue, [], "n\ndc=x\n",
                                      "dialogue_end_at_question.txt", 0, {}),
            # Rule One's write stays made, and the summary counts it.
            "confirmation question after Rule One's writes": (
                ({**MISMATCHED_SERVER, LOGIN_AUTH: "No"}, BROKEN_CLIENT), [], "n\ndc=x\nx x x",
                screen(CONFIRM_QUESTION, "", CHANGES_MADE % 1) + FINISHED_END, 0,
                {LOGIN_AUTH: "Yes"}),
            "notice wait": ((None, GOOD_CLIENT), [], "n\n", "missing_server_key.txt", 1, {}),
        }
        for name, (keys, args, stdin, shown, exit_code, written) in rows.items():
            with self.subTest(name):
                seed(*keys)
                before = values()
                code, out = harness.prefix.run_tool(args, stdin)
                if isinstance(shown, str):
                    self.assertTranscript(shown, out)
                else:
                    self.assertTrue(out.endswith(shown), out)
                self.assertEqual(exit_code, code, out)
                self.assertEqual({**before, **{value: ("sz", text.encode() + b"\0")
                                               for value, text in written.items()}}, values())


class ReadFailures(ToolTestCase):
    def test_missing_client_key(self):
        # A number ends the notice's wait as Q does (Interactive).
        seed(GOOD_SERVER, None)
        self.assertTranscript("missing_client_key.txt", run_tool("n\n7\n"))

    def test_missing_server_value_stops_before_the_client_key(self):
        server = dict(GOOD_SERVER)
        del server[CR_AUTH]
        seed(server, GOOD_CLIENT)
        self.assertTranscript("missing_server_value_verbose.txt",
                              run_tool("n\nq\n", verbose=True))

    def test_missing_client_value(self):
        seed(GOOD_SERVER, {})
        self.assertTranscript("missing_client_value.txt", run_tool("n\nq\n"))

    def test_value_of_511_characters_reads_and_512_does_not(self):
        suffix = "s" * 511
        seed({**GOOD_SERVER, LDAP_SUFFIX: suffix}, {DN_SUFFIX: suffix})
        self.assertTranscript("terse_all_ok.txt", run_tool("n\n"))
        seed({**GOOD_SERVER, LDAP_SUFFIX: suffix + "s"}, {DN_SUFFIX: suffix})
        self.assertTranscript("suffix_too_long_to_read.txt", run_tool("n\nq\n"))

    def test_failed_read_writes_nothing(self):
        server = dict(BROKEN_SERVER)
        del server[LDAP_SUFFIX]
        seed(server, BROKEN_CLIENT)
        with self.assertNothingWritten():
            out = run_tool("n\nq\n")
        self.assertNotIn(CORRECTION_NEEDED.encode(), out)


class StoredAsUnicode(ToolTestCase):
    """Values stored by Wine's reg.exe as the Unicode text it is given: the
    code page 1252 read turns full-width letters into plain ones and Cyrillic
    into question marks, so reading alike proves nothing."""

    def store(self, key, name, text):
        code, out = wine_reg("add", key, "/v", name, "/d", text, "/f")
        self.assertEqual(0, code, out)

    def test_full_width_yes_is_corrected(self):
        seed()
        self.store(SERVER, LOGIN_AUTH, "Ｙｅｓ")
        out = run_tool("n\n")
        self.assertIn(screen(CORRECTION_NEEDED + CURRENTLY % (SERVER, LOGIN_AUTH, "Yes") +
                             NOT_REPRESENTABLE, SHOULD_BE_YES), out)
        self.assertEqual(("sz", b"Yes\0"), values()[LOGIN_AUTH])

    def test_suffixes_that_read_alike_are_compared_as_stored(self):
        for server, client, match in (("dc=дом", "dc=жук", False), ("dc=дом", "dc=дом", True)):
            seed()
            self.store(SERVER, LDAP_SUFFIX, server)
            self.store(CLIENT, DN_SUFFIX, client)
            out = run_tool("n\nq\n", verbose=True)
            if match:
                self.assertIn(screen(SUFFIXES_OK % "dc=???" + NOT_REPRESENTABLE), out)
            else:
                self.assertIn(screen(CURRENTLY % (CLIENT, DN_SUFFIX, "dc=???") + NOT_REPRESENTABLE,
                                     MUST_MATCH), out)


class CodePage932(ToolTestCase):
    """Under Shift-JIS a lead byte and its trail byte are one character, and no
    such character answers a question, whatever its trail byte looks like."""

    CHARACTERS = {"土": b"\x93\x79", "ハ": b"\x83\x6e", "ヒ": b"\x83\x71", "？": b"\x81\x48"}

    def run932(self, stdin):
        return run_tool(stdin, env=harness.locale_env("ja_JP.UTF-8"))

    def test_double_byte_characters_re_ask_and_a_lone_lead_byte_is_not_stored(self):
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        tsuchi, ha, hi, question = self.CHARACTERS.values()
        # 土 (trail byte 'y') at the information question, a value ending in a
        # lone lead byte, then 土 ハ ヒ ？ and a lone lead byte at the question.
        with self.assertNothingWritten():
            out = self.run932(b"\x93\x79\nn\ndc=\x81\ndc=x\n" + tsuchi + ha + hi + question +
                              b"\n\x81\nq\n")
        info, rest = out.split(b"\r\n\r\n" + CORRECTION_NEEDED.encode(), 1)
        self.assertEqual(screen(INFO_QUESTION) * 2, info + b"\r\n", out)
        self.assertIn(screen(PROMPT + NOT_STORABLE), rest)
        self.assertEqual(1, rest.count((ENTERED % "").encode()), out)
        self.assertEqual(6, rest.count(screen(CONFIRM_QUESTION)), out)
        self.assertNotIn(HELP_BLOCK[1].encode(), out)  # "HELP START"
        self.assertTrue(out.endswith(FINISHED_END), out)


class Interactive(ToolTestCase):
    """Each answer goes in only after its prompt is on screen: the tool must
    flush before every read, or these sessions stall."""

    def test_each_prompt_is_visible_while_the_tool_waits(self):
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        session = Session()
        session.expect(screen(INFO_QUESTION))
        self.assertTrue(session.quiet_for(0.3))
        session.send("n\n")
        session.expect(screen(MUST_MATCH))
        session.expect(screen("", VALUE_PROMPT) + PROMPT.encode())
        self.assertTrue(session.quiet_for(0.3))
        session.send("dc=s,dc=t\n")
        session.expect(screen(ENTERED % "dc=s,dc=t"))
        session.expect(screen(CONFIRM_QUESTION))
        self.assertTrue(session.quiet_for(0.3))
        session.send("y\n")
        out = session.finish()
        self.assertTrue(out.endswith(screen(CHANGES_MADE % 2) + FINISHED_END), out)
        self.assertEqual("dc=s,dc=t", text_of(values()[DN_SUFFIX]))

    def test_yes_leaves_es_pending_for_the_value_prompt(self):
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        session = Session()
        session.expect(screen(INFO_QUESTION))
        session.send("yes\n")
        session.expect(screen(PROMPT + ENTERED % "es"))
        session.expect(screen(CONFIRM_QUESTION))
        self.assertTrue(session.quiet_for(0.3))
        session.send("q\n")
        out = session.finish()
        self.assertTrue(out.endswith(FINISHED_END), out)

    def test_a_second_copy_reads_and_writes_nothing(self):
        seed(MISMATCHED_SERVER, BROKEN_CLIENT)
        first = Session()
        first.expect(screen(INFO_QUESTION))
        with self.assertNothingWritten():
            self.assertEqual(screen(ANOTHER_COPY), run_tool("n\ndc=x\ny\n"))
        first.send("n\nq\n")
        self.assertTrue(first.finish().endswith(FINISHED_END))
        # Once the first copy has ended, the next one runs.
        self.assertIn(screen(MUST_MATCH), run_tool("n\nq\n"))

    def test_the_notice_waits_for_an_entry(self):
        seed(None, GOOD_CLIENT)
        session = Session()
        session.expect(screen(INFO_QUESTION))
        session.send("n\n")
        session.expect(screen(QUIT_NOTICE))
        session.send("\n\n")  # empty lines do not end the wait
        self.assertTrue(session.quiet_for(0.3))
        self.assertIsNone(session.proc.poll())
        session.send("Q\n")  # and the run ends while its input is still open
        session.proc.wait(timeout=10)
        self.assertEqual(transcript("missing_server_key.txt"), session.finish())


class ConsoleWrites(ToolTestCase):
    """Output to /dev/null is a console to the C runtime, which would hand it
    one byte per write: each line must leave in one write."""

    def test_each_line_leaves_in_one_write(self):
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        stdin = b"y\ndc=x\nh\ndc=x\nq\n"
        lines = run_tool(stdin, verbose=True).count(b"\r\n")
        seed(BROKEN_SERVER, BROKEN_CLIENT)
        result = subprocess.run(harness.wine_command(harness.EXE, "1"), input=stdin,
                                env=dict(wine_ready(), WINEDEBUG="+relay"),
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                timeout=RUN_TIMEOUT)
        writes = result.stderr.count(b"Call KERNEL32.WriteFile(")
        self.assertGreater(lines, 60)
        self.assertLessEqual(writes, lines + 3)


if __name__ == "__main__":
    unittest.main()
