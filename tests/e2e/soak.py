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

import harness
from texts import (BRIMSEK, CHANGES_MADE, CR_AUTH, DN_SUFFIX, FINISHED_END, LDAP_SUFFIX, LOGIN_AUTH,
                   screen)


def fail(run, what):
    print("soak run %d failed: %s" % (run, what))
    sys.exit(1)


def expect_settings(run, suffix):
    got = harness.values()
    for name in (LOGIN_AUTH, CR_AUTH):
        if got[name] is None or got[name][0] != "sz" or harness.text_of(got[name]) != "Yes":
            fail(run, "%s is %r" % (name, got[name]))
    for name in (LDAP_SUFFIX, DN_SUFFIX):
        # Exactly the text, nothing stale after it. The tool counts no NUL,
        # but the platform's ANSI write stores the NUL that follows string
        # data not ending in one.
        if got[name] not in (("sz", suffix.encode()), ("sz", suffix.encode() + b"\0")):
            fail(run, "%s is %r, expected %r" % (name, got[name], suffix))


def soak(runs):
    terse_ok = harness.transcript("terse_all_ok.txt")
    repaired = screen(CHANGES_MADE % 4) + FINISHED_END
    started = time.monotonic()
    suffix = None
    try:
        for run in range(1, runs + 1):
            if run % 2 == 1:
                # Repair: both Rule One values wrong and the suffixes apart, the
                # new suffix of a varying length so stale bytes would show.
                old = "dc=old%d,dc=com" % run
                harness.seed({LOGIN_AUTH: "yes", CR_AUTH: "No ",
                              LDAP_SUFFIX: old + "x" * (run % 7 + 1)}, {DN_SUFFIX: old})
                suffix = "dc=soak%d,dc=%s" % (run, "c" * (run % 11 + 1))
                out = harness.run_tool("n\n%s\ny\n" % suffix)
                if not out.endswith(repaired):
                    fail(run, "repair output ends %r" % out[-200:])
            else:
                out = harness.run_tool("n\n")
                if out != terse_ok:
                    fail(run, "re-check output %r" % out[-300:])
            expect_settings(run, suffix)
            if run % 100 == 0:
                print("%d runs, %.0f s, no drift" % (run, time.monotonic() - started), flush=True)
    finally:
        harness.probe("delete", BRIMSEK)
    print("soak: %d runs, %d repairs and %d re-checks, zero drift, zero failures, %.0f s" %
          (runs, (runs + 1) // 2, runs // 2, time.monotonic() - started))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=1000)
    options = parser.parse_args()
    build = os.path.realpath(options.build)
    harness.configure(build, os.path.join(build, "soak-prefix"))
    soak(options.runs)


if __name__ == "__main__":
    main()
