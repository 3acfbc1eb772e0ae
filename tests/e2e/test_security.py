"""The interactive tool against keys whose access list lets it read but not
write. Its every open asks for full access, so such a key cannot be opened
even to read it; the unattended /check reads with read access only and
checks such keys (test_unattended)."""

import unittest

import harness
from harness import (BROKEN_CLIENT, MISMATCHED_SERVER, Session, ToolTestCase, read_only,
                     run_tool, seed, text_of, values)
from texts import (ALREADY_WRITTEN, CLIENT, CONFIRM_QUESTION, COULD_NOT_OPEN, DN_SUFFIX, FINISHED,
                   INFO_QUESTION, LDAP_SUFFIX, PROMPT, QUIT_NOTICE, SERVER, VALUE_PROMPT, WRITE_FAILED,
                   WRITE_NOTICE, WRITING_SUFFIX, screen)


def setUpModule():
    harness.configure_from_environment()


class ReadOnlyKeys(ToolTestCase):
    def test_read_only_server_key_cannot_be_opened_to_read(self):
        seed()
        with read_only(SERVER), self.assertNothingWritten() as before:
            self.assertIsNotNone(before[LDAP_SUFFIX], "the probe can still read the key")
            # The same screen as for a key that does not exist.
            self.assertTranscript("missing_server_key.txt", run_tool("n\nq\n"))

    def test_read_only_client_key_cannot_be_opened_to_read(self):
        seed()
        with read_only(CLIENT):
            self.assertTranscript("missing_client_key.txt", run_tool("n\nq\n"))

    def test_key_locked_during_the_dialogue_stops_the_writes_at_it(self):
        # The suffix is written to the server key first, then to the client key.
        for locked, server_suffix in ((SERVER, MISMATCHED_SERVER[LDAP_SUFFIX]),
                                      (CLIENT, "dc=s,dc=t")):
            with self.subTest(locked=locked):
                seed(MISMATCHED_SERVER, BROKEN_CLIENT)
                session = Session()
                session.expect(screen(INFO_QUESTION))
                session.send("n\n")
                session.expect(screen("", VALUE_PROMPT) + PROMPT.encode())
                session.send("dc=s,dc=t\n")
                session.expect(CONFIRM_QUESTION)
                self.assertTrue(session.quiet_for(0.3), "the tool waits at the question")
                # Both keys were read and closed before the dialogue; lock one
                # now, while the tool waits, and then confirm.
                with read_only(locked):
                    session.send("y\n")
                    session.expect(screen(QUIT_NOTICE))
                    session.send("q\n")
                    out = session.finish()

                # A failure after a write names it above the notice.
                written = ["ERROR - " + WRITE_FAILED % (CLIENT, DN_SUFFIX) + ALREADY_WRITTEN +
                           LDAP_SUFFIX] if locked == CLIENT else []
                expected_tail = screen(WRITING_SUFFIX % "dc=s,dc=t", COULD_NOT_OPEN % locked,
                                       *written, "", *WRITE_NOTICE)
                self.assertTrue(out.endswith(expected_tail), out)
                self.assertNotIn(FINISHED.encode(), out)
                self.assertEqual(1, session.proc.returncode)
                after = values()
                self.assertEqual((server_suffix, BROKEN_CLIENT[DN_SUFFIX]),
                                 (text_of(after[LDAP_SUFFIX]), text_of(after[DN_SUFFIX])))


if __name__ == "__main__":
    unittest.main()
