"""The tool against keys whose access list lets it read but not write. Every
open asks for full access, so such a key cannot be opened even to read it.

Wine enforces a key's access list but keeps it only while the prefix's
wineserver runs, so each test sets the list itself, after seeding the keys."""

import unittest

from harness import (CLIENT, CLIENT_PATH, GOOD_SERVER, SERVER, Session, ToolTestCase, probe,
                     run_tool, seed, text_of, values)

READ_ONLY = "D:P(A;;KR;;;WD)"
FULL_ACCESS = "D:P(A;;KA;;;WD)"
QUESTION = "Do you want to write this value into the two reg keys above?"
WRITE_NOTICE = ("\r\n"
                "This program cannot write to one of the four LDAP registry key/values it requires\r\n"
                "Record information (i.e. screen capture) and contact your next level of support\r\n"
                "Press Q to Quit\r\n")


class ReadOnlyKeys(ToolTestCase):
    def tearDown(self):
        # Full access back, so the next test can delete and reseed the keys.
        for key in (SERVER, CLIENT):
            try:
                probe("dacl", key, FULL_ACCESS)
            except AssertionError:
                pass  # the key does not exist

    def test_read_only_server_key_cannot_be_opened_to_read(self):
        seed()
        probe("dacl", SERVER, READ_ONLY)
        before = values()
        self.assertIsNotNone(before["LdapSuffix"], "the probe can still read the key")
        # The same screen as for a key that does not exist.
        self.assertTranscript("missing_server_key.txt", run_tool("n\nq\n"))
        self.assertEqual(before, values())

    def test_read_only_client_key_cannot_be_opened_to_read(self):
        seed()
        probe("dacl", CLIENT, READ_ONLY)
        self.assertTranscript("missing_client_key.txt", run_tool("n\nq\n"))

    def test_client_key_locked_during_the_dialogue_stops_after_the_server_write(self):
        seed(dict(GOOD_SERVER, LdapSuffix="dc=old,dc=com"), dict(DNSuffix="dc=new,dc=com"))
        session = Session()
        session.expect("Press (Y)es/(N)o\r\n")
        session.send("n\n")
        session.expect("\r\n>>")
        session.send("dc=s,dc=t\n")
        session.expect(QUESTION)
        self.assertTrue(session.quiet_for(0.3), "the tool waits at the question")
        # Both keys were read and closed before the dialogue; lock the client
        # key now, while the tool waits, and then confirm.
        probe("dacl", CLIENT, READ_ONLY)
        session.send("y\n")
        session.expect("Press Q to Quit\r\n")
        session.send("q\n")
        out = session.finish().decode("latin-1")

        expected_tail = ("WRITING dc=s,dc=t to registry\r\n"
                         " ERROR - could not open " + CLIENT_PATH + "\r\n" + WRITE_NOTICE)
        self.assertTrue(out.endswith(expected_tail), out)
        self.assertNotIn("Program has finished", out)
        after = values()
        self.assertEqual("dc=s,dc=t", text_of(after["LdapSuffix"]), "the server write happened")
        self.assertEqual("dc=new,dc=com", text_of(after["DNSuffix"]))


if __name__ == "__main__":
    unittest.main()
