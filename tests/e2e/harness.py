r"""Runs the real tool of one build tree under Wine through plain pipes, and
seeds and inspects the registry of the test prefix with regprobe.exe (raw API
calls, independent of the tool). The tree is the 32-bit one (Sorvane.exe) or
the 64-bit one (Sorvane64.exe); configure() tells which from the exe it holds,
and every program runs under the loader of that bitness.

Two prefixes: `prefix` (what every test uses unless it says otherwise; the
module-level functions work on it: WINEARCH=win32 for the 32-bit build,
win64 for the 64-bit one) and `prefix64` (WINEARCH=win64, booted on first use
only, for the registry-view tests). In a 64-bit prefix the 32-bit exe, the
probe and reg.exe (the SysWOW64 copy) run as 32-bit processes under WoW64, so
their default view of HKLM\SOFTWARE is the WOW6432Node one, as on 64-bit
Windows. The 64-bit exe opens its keys in that same view unless told
otherwise, and so does the 64-bit probe; the 64-bit reg.exe is given /reg:32
by the module-level wine_reg() to match.

Nothing is read from the environment on import: each test module's
setUpModule calls configure_from_environment(), and the soak configure()
with its own build tree and prefix."""

import os
import select
import shutil
import subprocess
import tempfile
import time
import unittest
from contextlib import contextmanager

from texts import BRIMSEK, CLIENT, CR_AUTH, DN_SUFFIX, LDAP_SUFFIX, LOGIN_AUTH, SERVER, VALUES

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(ROOT, "tools")
TRANSCRIPTS = os.path.join(HERE, "transcripts")

# Set by configure(): the build tree, the two programs it holds, their bitness
# (32 or 64) and the Wine loader that runs them.
BUILD = EXE = PROBE = BITS = LOADER = None


def wine_loader(bits):
    """The Wine loader for programs of that bitness, as tools/host-bits.sh
    finds it (the one place that knows where Wine is)."""
    found = subprocess.run(["bash", os.path.join(TOOLS, "host-bits.sh"), str(bits)],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
    if found.returncode != 0:
        raise AssertionError("no %d-bit Wine loader is installed (tools/install.sh)" % bits)
    return found.stdout.strip()


def runs_32bit():
    """Whether this host executes 32-bit programs (tools/host-bits.sh)."""
    return subprocess.run(["bash", "-c", '. "$0/host-bits.sh" && wine_runs_32bit', TOOLS],
                          stdin=subprocess.DEVNULL).returncode == 0


def locale_env(name):
    """The environment that runs a program under the locale `name`, one of
    tools/test-locales; fails at once when it is not generated, since Wine
    then silently gives the program the default code pages."""
    with open(os.path.join(TOOLS, "test-locales")) as f:
        listed = f.read().split()
    if name not in listed:
        raise AssertionError("locale %s is not in tools/test-locales" % name)
    spelled = {name.lower(), name.lower().replace("utf-8", "utf8")}
    generated = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, text=True).stdout
    if not spelled & {line.lower() for line in generated.split()}:
        raise AssertionError("locale %s is not generated: as root, run tools/install.sh" % name)
    return {"LC_ALL": name}

# A run that does not end within this many seconds is a hang.
RUN_TIMEOUT = 30

class WinePrefix:
    """One private prefix, booted (once, under a lock) and its server and
    background services started on first use, detached, so none of them holds
    a pipe this module captures. configure() says where it is."""

    def __init__(self):
        self.arch = self.path = None
        self._env = None

    def place(self, path, arch):
        if (path, arch) != (self.path, self.arch):
            self.path, self.arch, self._env = path, arch, None

    def ready(self):
        """The environment that runs Wine programs in this prefix."""
        if self.path is None:
            raise AssertionError("no %s prefix: call harness.configure() first" % self.arch)
        if self._env is None:
            subprocess.run(["bash", "-c", '. "$0/wine-env.sh" "$1" "$2" "$3" && wine_prefix_ready',
                            TOOLS, self.path, self.arch, str(BITS)], check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            env = dict(os.environ)
            env.update(WINEPREFIX=os.path.realpath(self.path), WINEARCH=self.arch,
                       WINELOADER=LOADER, WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
            env.pop("DISPLAY", None)
            self._env = env
        return self._env

    def run(self, command, stdin=None, timeout=RUN_TIMEOUT, env=None):
        """Runs a Windows program, `command` = [program, *arguments], with
        `env` added to its environment; returns (exit code, standard output
        bytes), and keeps its standard error in `last_stderr`. `stdin` (bytes
        or str) is its whole input; None leaves its input open and silent, so
        a program that waits for input hangs (and fails here) instead of
        reading an end of input."""
        if isinstance(stdin, str):
            stdin = stdin.encode("latin-1")
        args = [LOADER, *command]
        env = dict(self.ready(), **(env or {}))
        try:
            if stdin is not None:
                result = subprocess.run(args, env=env, input=stdin, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=timeout)
            else:
                silent, writer = os.pipe()
                try:
                    result = subprocess.run(args, env=env, stdin=silent, stdout=subprocess.PIPE,
                                            stderr=subprocess.PIPE, timeout=timeout)
                finally:
                    os.close(silent)
                    os.close(writer)
        except subprocess.TimeoutExpired as e:
            raise AssertionError("%s did not end within %d s; its output: %r" %
                                 (" ".join(command), timeout, e.output)) from None
        self.last_stderr = result.stderr
        return result.returncode, result.stdout

    def run_tool(self, args=(), stdin=None, timeout=RUN_TIMEOUT, env=None):
        """The tool with these arguments (for example ["/check", "/reg:64"]),
        as run(): returns (exit code, standard output bytes)."""
        return self.run([EXE, *args], stdin, timeout, env)

    def tool_lines(self, *args):
        """The tool as a fleet agent starts it, with these arguments and its
        standard input open and silent: (exit code, output lines without
        their line ends)."""
        code, out = self.run_tool(args)
        return code, out.decode("latin-1").split("\r\n")[:-1]

    def reg(self, *args):
        """Wine's own reg.exe, found by name as a technician would run it;
        returns (exit code, standard output bytes). In a 64-bit prefix it is
        the reg.exe of the build's bitness, so pass /reg:32 or /reg:64 for
        HKLM\\SOFTWARE."""
        return self.run(["reg", *args])

    def reg_of(self, bits, *args):
        """In this 64-bit prefix, the reg.exe of the given bitness as a 32-bit
        (SysWOW64) or a 64-bit (System32) prompt starts it; returns (exit
        code, standard output bytes)."""
        program = r"C:\windows\%s\reg.exe" % ("syswow64" if bits == 32 else "system32")
        loader = wine_loader(bits)
        result = subprocess.run([loader, program, *args],
                                env=dict(self.ready(), WINELOADER=loader),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=RUN_TIMEOUT)
        return result.returncode, result.stdout

    def probe(self, *args):
        """Runs regprobe with the given commands; returns its output lines."""
        code, out = self.run([PROBE, *args], stdin=b"")
        text = out.decode("latin-1").replace("\r\n", "\n")
        if code != 0:
            # Wine's own complaint, if any, is on standard error.
            raise AssertionError("regprobe %s exited %d: %r; standard error: %r" %
                                 (" ".join(args), code, text, self.last_stderr[-2000:]))
        return text.splitlines()

    def values(self, view="default"):
        """The four LDAP values as (type, bytes), or None where missing, read
        in the given view: "32", "64" or "default" (the probe's own, which is
        the tool's: the 32-bit view on 64-bit Windows)."""
        args = ["view", view]
        for key, name in VALUES:
            args += ["dump", key, name]
        result = {}
        for (key, name), line in zip(VALUES, self.probe(*args)):
            if line == "missing":
                result[name] = None
            else:
                kind, hexdata = line.split(" ")
                result[name] = (kind, b"" if hexdata == "-" else bytes.fromhex(hexdata))
        return result


prefix = WinePrefix()
prefix64 = WinePrefix()


def configure(build, main_prefix, view_prefix=None):
    """Points the harness at a build tree (its Sorvane.exe or Sorvane64.exe
    and tests/regprobe.exe), at the prefix every test uses, and optionally at
    the 64-bit one of the registry-view tests. Nothing starts until a test
    runs a program."""
    global BUILD, EXE, PROBE, BITS, LOADER
    BUILD = os.path.realpath(build)
    BITS = 64 if os.path.isfile(os.path.join(BUILD, "Sorvane64.exe")) else 32
    EXE = os.path.join(BUILD, "Sorvane64.exe" if BITS == 64 else "Sorvane.exe")
    PROBE = os.path.join(BUILD, "tests", "regprobe.exe")
    LOADER = wine_loader(BITS)
    for program in (EXE, PROBE):
        if not os.path.isfile(program):
            raise AssertionError("%s is not built: build the tree first (tools/test.sh)" % program)
    prefix.place(main_prefix, "win64" if BITS == 64 else "win32")
    prefix64.place(view_prefix, "win64")


def wine_command(*command):
    """[loader, program, *arguments] for a Windows program of the build's bitness."""
    return [LOADER, *command]


def configure_from_environment():
    """configure() from what tests/CMakeLists.txt gives each test module:
    SORVANE_BUILD, SORVANE_PREFIX and SORVANE_PREFIX64. Run by hand, the
    default 64-bit build tree (tools/test.sh builds it) and its prefixes."""
    build = os.environ.get("SORVANE_BUILD") or os.path.join(ROOT, "build", "x86_64")
    configure(build, os.environ.get("SORVANE_PREFIX") or os.path.join(build, "wineprefix"),
              os.environ.get("SORVANE_PREFIX64") or os.path.join(build, "wineprefix64"))


def wine_ready():
    """Readies the test prefix; returns the environment for it."""
    return prefix.ready()


def wine_reg(*args):
    """Wine's reg.exe in the test prefix, in the tool's default view of
    HKLM\\SOFTWARE; returns (exit code, standard output bytes)."""
    return prefix.reg(*args, *(["/reg:32"] if BITS == 64 else []))


def probe(*args):
    """Runs regprobe with the given commands in the test prefix; returns its output lines."""
    return prefix.probe(*args)


def tool_lines(*args):
    """The tool in the test prefix, as WinePrefix.tool_lines: (exit code, output lines)."""
    return prefix.tool_lines(*args)


def windows_path(path):
    """The name a Wine program gives a file of this machine: Z: is the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _encode(value):
    """A seed value as (type, hex): str is REG_SZ with its NUL, bytes is REG_SZ
    exactly as given, int is REG_DWORD, and (type, bytes) is those bytes with
    the probe's type (binary, multi_sz, expand_sz...)."""
    if isinstance(value, tuple):
        return value[0], value[1].hex() or "-"
    if isinstance(value, int):
        return "dword", value.to_bytes(4, "little").hex()
    if isinstance(value, str):
        value = value.encode("latin-1") + b"\0"
    return "sz", value.hex() or "-"


# Every rule met.
GOOD_SERVER = {LOGIN_AUTH: "Yes", CR_AUTH: "Yes", LDAP_SUFFIX: "dc=brimsek,dc=com"}
GOOD_CLIENT = {DN_SUFFIX: "dc=brimsek,dc=com"}
# Rule One met, the suffixes apart: a run goes straight to the dialogue.
MISMATCHED_SERVER = {**GOOD_SERVER, LDAP_SUFFIX: "dc=old,dc=com"}
# Both rules broken, Rule One by a wrong word and by a wrong case.
BROKEN_SERVER = {LOGIN_AUTH: "no", CR_AUTH: "YES", LDAP_SUFFIX: "dc=old,dc=com"}
# A client suffix apart from the server ones above.
BROKEN_CLIENT = {DN_SUFFIX: "dc=new,dc=com"}


def seed(server=None, client=None, where=None):
    """Replaces both LDAP keys with exactly these values, in the test prefix
    or the WinePrefix `where`; a key given as None does not exist afterwards.
    With no arguments, every rule is met."""
    if server is None and client is None:
        server, client = GOOD_SERVER, GOOD_CLIENT
    args = ["delete", BRIMSEK]
    for key, values in ((SERVER, server), (CLIENT, client)):
        if values is None:
            continue
        args += ["create", key]
        for name, value in values.items():
            args += ["set", key, name, *_encode(value)]
    (where or prefix).probe(*args)


def values():
    """The four values as (type, bytes), or None where missing."""
    return prefix.values()


def text_of(stored):
    """The text a REG_SZ value holds: its bytes up to the first NUL."""
    kind, data = stored
    return data.split(b"\0")[0].decode("latin-1")


READ_ONLY = "D:P(A;;KR;;;WD)"
FULL_ACCESS = "D:P(A;;KA;;;WD)"


@contextmanager
def read_only(*keys):
    """Within it, these keys let everyone read them and no one write; after
    it, full access again, so the next seed can delete them. Wine enforces a
    key's access list but keeps it only while the prefix's server runs, so a
    test sets it itself, after seeding."""
    try:
        for key in keys:
            probe("dacl", key, READ_ONLY)
        yield
    finally:
        for key in keys:
            probe("dacl", key, FULL_ACCESS)


def run_tool(stdin, verbose=False, args=(), env=None, timeout=RUN_TIMEOUT):
    """Runs the tool with `stdin` (bytes or str) as its whole standard input,
    "1" (verbose) or `args` as its arguments and `env` added to its
    environment; returns its standard output, CRLF line ends and all."""
    args = (["1"] if verbose else []) + list(args)
    return prefix.run_tool(args, stdin, timeout, env)[1]


def transcript(name):
    """An expected transcript, kept with plain line ends, as the console writes it."""
    with open(os.path.join(TRANSCRIPTS, name), "rb") as f:
        return f.read().replace(b"\n", b"\r\n")


class Session:
    """The tool running with its standard input and output on pipes, answered
    step by step: each answer is sent only after its prompt has been seen."""

    def __init__(self, verbose=False, args=()):
        args = wine_command(EXE, *(["1"] if verbose else []), *args)
        self.proc = subprocess.Popen(args, env=wine_ready(), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.output = b""
        self.seen = 0

    def expect(self, text, timeout=RUN_TIMEOUT):
        """Waits until `text` appears in the output after what was last expected."""
        want = text.encode("latin-1") if isinstance(text, str) else text
        deadline = time.monotonic() + timeout
        while True:
            at = self.output.find(want, self.seen)
            if at >= 0:
                self.seen = at + len(want)
                return
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError("no %r in output %r" % (want, self.output[self.seen:]))
            ready, _, _ = select.select([self.proc.stdout], [], [], left)
            if ready:
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                if not chunk:
                    raise AssertionError("output ended without %r: %r" %
                                         (want, self.output[self.seen:]))
                self.output += chunk

    def quiet_for(self, seconds):
        """True when the tool writes nothing more for `seconds`: it is waiting."""
        ready, _, _ = select.select([self.proc.stdout], [], [], seconds)
        return not ready

    def send(self, text):
        self.proc.stdin.write(text.encode("latin-1"))
        self.proc.stdin.flush()

    def finish(self, timeout=RUN_TIMEOUT):
        """Closes standard input and returns the whole output once the tool ends."""
        if not self.proc.stdin.closed:
            self.proc.stdin.close()
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self.proc.stdout], [], [], max(left, 0))
            if not ready:
                self.proc.kill()
                raise AssertionError("the tool did not end: %r" % self.output[self.seen:])
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                break
            self.output += chunk
        self.proc.wait(timeout=max(deadline - time.monotonic(), 1))
        self.proc.stdout.close()
        return self.output


class ToolTestCase(unittest.TestCase):
    maxDiff = None

    @contextmanager
    def assertNothingWritten(self):
        """Fails unless the four values read the same after the block as
        before it; yields what they were."""
        before = values()
        yield before
        self.assertEqual(before, values(), "the registry changed")

    def scratch_folder(self):
        """A folder of this test's own, removed after it."""
        folder = tempfile.mkdtemp(prefix="sorvane-")
        self.addCleanup(shutil.rmtree, folder, True)
        return folder

    def assertTranscript(self, name, output):
        expected = transcript(name)
        if output != expected:
            self.assertEqual(expected.decode("latin-1").splitlines(True),
                             output.decode("latin-1").splitlines(True), name)
            self.assertEqual(expected, output, name)
