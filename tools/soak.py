#!/usr/bin/env python3
"""Soak: many whole runs of the real Sorvane.exe under Wine, alternating a run
that repairs broken settings with a run that re-checks them, the registry
read back (with regprobe.exe, not the tool) after every run. Any drift or
failure stops the soak with the run number and exits 1. Not part of CI:
started by `tools/bench.sh --soak [--runs N]`, in a prefix of its own."""

import argparse
import os
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--build", required=True)
parser.add_argument("--runs", type=int, default=1000)
options = parser.parse_args()

build = os.path.realpath(options.build)
os.environ.update(SORVANE_EXE=os.path.join(build, "Sorvane.exe"),
                  REGPROBE_EXE=os.path.join(build, "tests", "regprobe.exe"),
                  SORVANE_PREFIX=os.path.join(build, "soak-prefix"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import harness  # noqa: E402  (reads the environment above)


def fail(run, what):
    print("soak run %d failed: %s" % (run, what))
    sys.exit(1)


def expect_settings(run, suffix):
    got = harness.values()
    for name in ("Enable Login Auth", "Enable CR Auth"):
        if got[name] is None or got[name][0] != "sz" or harness.text_of(got[name]) != "Yes":
            fail(run, "%s is %r" % (name, got[name]))
    for name in ("LdapSuffix", "DNSuffix"):
        # Exactly the text, nothing stale after it. The tool counts no NUL,
        # but the platform's ANSI write stores the NUL that follows string
        # data not ending in one.
        if got[name] not in (("sz", suffix.encode()), ("sz", suffix.encode() + b"\0")):
            fail(run, "%s is %r, expected %r" % (name, got[name], suffix))


def main():
    terse_ok = harness.transcript("terse_all_ok.txt")
    started = time.monotonic()
    suffix = None
    try:
        for run in range(1, options.runs + 1):
            if run % 2 == 1:
                # Repair: both Rule One values wrong and the suffixes apart, the
                # new suffix of a varying length so stale bytes would show.
                old = "dc=old%d,dc=com" % run
                harness.seed({"Enable Login Auth": "yes", "Enable CR Auth": "No ",
                              "LdapSuffix": old + "x" * (run % 7 + 1)},
                             {"DNSuffix": old})
                suffix = "dc=soak%d,dc=%s" % (run, "c" * (run % 11 + 1))
                out = harness.run_tool("n\n%s\ny\n" % suffix)
                if not out.endswith(b"Program needed to make 4 changes to registry values"
                                    b"\r\n\r\nProgram has finished\r\n\r\n"):
                    fail(run, "repair output ends %r" % out[-200:])
            else:
                out = harness.run_tool("n\n")
                if out != terse_ok:
                    fail(run, "re-check output %r" % out[-300:])
            expect_settings(run, suffix)
            if run % 100 == 0:
                print("%d runs, %.0f s, no drift" % (run, time.monotonic() - started), flush=True)
    finally:
        harness.probe("delete", r"HKLM\SOFTWARE\Brimsek")
    print("soak: %d runs, %d repairs and %d re-checks, zero drift, zero failures, %.0f s" %
          (options.runs, (options.runs + 1) // 2, options.runs // 2, time.monotonic() - started))


main()
