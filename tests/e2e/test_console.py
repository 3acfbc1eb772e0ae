"""The tool at a real console: Wine gives a program started on a terminal a
console whose code pages follow the locale (en_US.UTF-8: ANSI 1252, console
437; de_DE.UTF-8: 1252 and 850). Wine's C runtime converts console output
itself and Windows' does not, so the screen proves nothing: a run is judged by
the text of the exe's WriteConsoleW calls, as Wine traces them, and by what
the registry then holds."""

import os
import re
import select
import signal
import struct
import subprocess
import tempfile
import time
import tty
import unittest

import harness
from harness import BROKEN_CLIENT, MISMATCHED_SERVER, RUN_TIMEOUT, ToolTestCase, seed, transcript
from texts import (CLIENT, CONFIRM_QUESTION, CURRENTLY, DN_SUFFIX, ENTERED, INFO_QUESTION,
                   LDAP_SUFFIX, NOT_STORABLE, PROMPT, SERVER)

WRITE = re.compile(rb'^([0-9a-f]{4}):trace:console:WriteConsoleW \([0-9A-F]+,L"(.*)",\d+,', re.M)


def setUpModule():
    harness.configure_from_environment()
    for name in LOCALES:
        harness.locale_env(name)


def at_console(locale, lines, debug):
    """The tool on a pty of its own, each line typed ahead with Enter (the
    console keeps it until the tool reads); returns Wine's trace (channels
    `debug`)."""
    master, slave = os.openpty()
    tty.setraw(slave)  # as the console sets it: Enter is a CR, Ctrl+Z reaches the console
    with tempfile.TemporaryFile() as trace:
        proc = subprocess.Popen([harness.LOADER, harness.EXE], stdin=slave, stdout=slave,
                                stderr=trace, start_new_session=True,
                                env=dict(harness.wine_ready(), WINEDEBUG=debug,
                                         **harness.locale_env(locale)))
        os.close(slave)
        os.write(master, "".join(line + "\r" for line in lines).encode("utf-8"))
        deadline = time.monotonic() + RUN_TIMEOUT
        while proc.poll() is None and time.monotonic() < deadline:
            if select.select([master], [], [], 0.05)[0]:
                try:
                    os.read(master, 65536)  # the screen, drained
                except OSError:  # the terminal closed: the tool is ending
                    proc.wait(RUN_TIMEOUT)
        os.close(master)
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise AssertionError("the tool did not end after %r was typed" % lines)
        trace.seek(0)
        return trace.read()


def traced(text):
    """A string as Wine traces it (\\r, \\", \\00e9), back to its characters."""
    return re.sub(r"\\([0-9a-f]{4}|.)", lambda m: chr(int(m[1], 16)) if len(m[1]) == 4 else
                  {"r": "\r", "n": "\n"}.get(m[1], m[1]), text.decode("ascii"))


LOCALES = ("en_US.UTF-8", "de_DE.UTF-8")
RELAY = "+relay,+console,+loaddll"


def own_console_writes(trace):
    """The WriteConsoleW calls of a RELAY trace, and the return addresses of
    those not made by the exe itself: under Wine, msvcrt writes a console
    with WriteConsoleW too."""
    name = re.escape(os.path.basename(harness.EXE).encode())
    base = int(re.search(rb'Loaded L"[^"]*\\' + name + rb'" at (\w+)', trace)[1], 16)
    with open(harness.EXE, "rb") as f:
        image = f.read(4096)
    size = struct.unpack_from("<I", image, struct.unpack_from("<I", image, 60)[0] + 80)[0]
    calls = re.findall(rb"Call KERNEL32\.WriteConsoleW\(.*\) ret=(\w+)", trace)
    return len(calls), [r for r in calls if not base <= int(r, 16) < base + size]


def screen(*lines):
    return "".join(line + "\r\n" for line in lines)


OLD, NEW = MISMATCHED_SERVER[LDAP_SUFFIX], BROKEN_CLIENT[DN_SUFFIX]
DIALOGUE = ["n", "first", "n", "second", "h", "third", "q"]
# Name, locale ("pipe": through pipes), seeded LdapSuffix, lines typed, what the
# exe writes (a transcript, or parts in this order), both suffixes afterwards.
ROWS = (
    ("é typed under 437 is stored as typed", "en_US.UTF-8", OLD, ["n", "dc=café", "y"],
     [screen(ENTERED % "dc=café")], ("dc=café", "dc=café")),
    ("ü typed under 850 is stored as typed", "de_DE.UTF-8", OLD, ["n", "dc=Müller", "y"],
     [screen(ENTERED % "dc=Müller")], ("dc=Müller", "dc=Müller")),
    ("Cyrillic under 1252 is refused and answers nothing", "en_US.UTF-8", OLD,
     ["д", "n", "dc=дом", "dc=ok", "ｙ", "y"], [screen(INFO_QUESTION) * 2, PROMPT +
     screen(NOT_STORABLE), screen(CONFIRM_QUESTION) * 2], ("dc=ok", "dc=ok")),
    ("a stored é is shown as é", "en_US.UTF-8", "dc=café", ["n", "dc=x", "q"],
     [screen(CURRENTLY % (SERVER, LDAP_SUFFIX, "dc=café"))], ("dc=café", NEW)),
    ("a stored C1 control is shown escaped under 850", "de_DE.UTF-8", "dc=\x9d]0;x",
     ["n", "dc=x", "q"], [screen(CURRENTLY % (SERVER, LDAP_SUFFIX, "dc=<9D>]0;x"))],
     ("dc=\x9d]0;x", NEW)),
    ("answers typed at a console", "de_DE.UTF-8", OLD, DIALOGUE, "dialogue_no_help_quit.txt",
     (OLD, NEW)),
    ("Ctrl+Z then Enter ends the input", "en_US.UTF-8", OLD, ["\x1a"], "no_input.txt",
     (OLD, NEW)),
    ("one WriteConsoleW per line or prompt, no WriteFile", "en_US.UTF-8", OLD,
     ["y", "dc=x", "h", "dc=x", "q"], [], (OLD, NEW)),
    ("through pipes, today's bytes", "pipe", OLD, DIALOGUE, "dialogue_no_help_quit.txt",
     (OLD, NEW)),
)


class AtTheConsole(ToolTestCase):
    def test_rows(self):
        for name, locale, suffix, keys, shown, stored in ROWS:
            with self.subTest(name):
                seed({**MISMATCHED_SERVER, LDAP_SUFFIX: suffix}, BROKEN_CLIENT)
                relay = "WriteConsoleW" in name
                if locale == "pipe":
                    text = harness.run_tool("".join(k + "\n" for k in keys)).decode("cp1252")
                else:
                    trace = at_console(locale, keys, RELAY if relay else "+console")
                    text = "".join(traced(t) for _, t in WRITE.findall(trace))
                if isinstance(shown, str):
                    self.assertEqual(transcript(shown).decode("cp1252"), text)
                else:
                    self.assertRegex(text, "(?s)" + ".*".join(map(re.escape, shown)))
                if relay:
                    tid, lines = WRITE.search(trace)[1], text.count("\r\n")
                    self.assertEqual(0, trace.count(tid + b":Call KERNEL32.WriteFile("))
                    calls, outside = own_console_writes(trace)
                    self.assertEqual([], outside, "WriteConsoleW called from outside the exe")
                    self.assertTrue(40 < lines <= calls <= lines + 3, (lines, calls))
                lines = harness.probe("dumpw", SERVER, LDAP_SUFFIX, "dumpw", CLIENT, DN_SUFFIX)
                self.assertEqual(stored, tuple(bytes.fromhex(line.split()[1]).decode(
                    "utf-16-le").split("\0")[0] for line in lines))


if __name__ == "__main__":
    unittest.main()
