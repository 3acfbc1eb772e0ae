"""The signed release and its MSI: tools/package.sh --from packs a small
install tree made here (the real exes, a stand-in PowerShell module, a fleet
script) signed with a throwaway certificate that openssl makes; osslsigncode
verifies what it signed; a certificate it must refuse leaves dist/ as it was;
and Wine's own msiexec installs, upgrades and removes the MSI in a prefix of
its own.

The release is one package for both builds, and the MSI is a 64-bit one that
only a 64-bit prefix installs, so this module runs in the 64-bit tree."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import harness
from harness import ROOT, ToolTestCase
from texts import COMPLIANT

PACKAGE = os.path.join(ROOT, "tools", "package.sh")
SIGNER = "Sorvane Test Signer"
PASSWORD = "correct horse 7"
SIGNED = (".exe", ".ps1", ".psm1", ".psd1")


def setUpModule():
    harness.configure_from_environment()
    if harness.BITS != 64:
        raise unittest.SkipTest("one release for both builds, and a 64-bit MSI: tested in the 64-bit tree")
    for tool in ("wixl", "osslsigncode", "openssl"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest("%s is not installed" % tool)


def build_version():
    with open(os.path.join(harness.BUILD, "version.txt")) as f:
        return f.read().strip()


def higher(version):
    major, minor, build = version.split(".")
    return "%s.%s.%d" % (major, minor, int(build) + 1)


def run(*command, env=None, cwd=None):
    result = subprocess.run(command, env=dict(os.environ, **(env or {})), cwd=cwd,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=300)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def make_certificate(folder, name, usage):
    """A self-signed certificate with this extended key usage, as name.pfx
    under PASSWORD and name.pem; returns the .pfx path."""
    key, pem, pfx = (os.path.join(folder, name + ext) for ext in (".key", ".pem", ".pfx"))
    for command in (["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-keyout", key, "-out", pem, "-subj", "/CN=" + SIGNER,
                     "-addext", "keyUsage=digitalSignature", "-addext", "extendedKeyUsage=" + usage],
                    ["openssl", "pkcs12", "-export", "-inkey", key, "-in", pem, "-out", pfx,
                     "-passout", "env:SORVANE_SIGN_PASSWORD"]):
        code, out = run(*command, env={"SORVANE_SIGN_PASSWORD": PASSWORD})
        if code != 0:
            raise AssertionError("openssl failed: " + out)
    return pfx


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_install_tree(folder, version, fleet_script):
    """What `cmake --install` gives, with the module and the fleet scripts that
    packaging/ installs stood in for."""
    os.makedirs(folder)
    shutil.copy(harness.EXE, folder)
    other = os.path.join(os.path.dirname(harness.BUILD), "i686", "Sorvane.exe")
    if os.path.isfile(other):
        shutil.copy(other, folder)
    write(os.path.join(folder, "GUIDE.txt"), b"The guide.\r\n")
    module = os.path.join(folder, "PowerShell", "Modules", "Sorvane", version)
    write(os.path.join(module, "Sorvane.psd1"),
          b"@{\r\n    ModuleVersion = '%s'\r\n    RootModule = 'Sorvane.psm1'\r\n}\r\n" % version.encode())
    write(os.path.join(module, "Sorvane.psm1"), b"function Get-SorvaneSetting { 'stand-in' }\r\n")
    write(os.path.join(folder, "fleet", fleet_script), b"& 'C:\\Tools\\Sorvane.exe' /check\r\n")
    write(os.path.join(folder, "fleet", "tasks.yml"), b"- name: stand-in\r\n")


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, _, names in os.walk(folder) for n in names)


class Scratch:
    """The certificates, two install trees (the build's version and one
    above it) and their packages, made once for the module."""

    def __init__(self):
        self.folder = tempfile.TemporaryDirectory()
        top = self.folder.name
        self.pfx = make_certificate(top, "signer", "codeSigning")
        self.pem = os.path.join(top, "signer.pem")
        self.tls_pfx = make_certificate(top, "tls", "serverAuth")
        self.version, self.next_version = build_version(), higher(build_version())
        self.trees, self.dists, self.outputs = {}, {}, {}
        for version, script in ((self.version, "detect.ps1"), (self.next_version, "detect2.ps1")):
            tree = self.trees[version] = os.path.join(top, "tree-" + version)
            make_install_tree(tree, version, script)
            self.dists[version] = os.path.join(top, "dist-" + version)
            code, out = self.package(version, self.dists[version], "--sign", self.pfx)
            if code != 0:
                raise AssertionError("package.sh --sign failed:\n" + out)
            self.outputs[version] = out

    def package(self, version, dist, *args, env=None):
        env = dict({"SORVANE_SIGN_PASSWORD": PASSWORD, "DIST_DIR": dist}, **(env or {}))
        return run("bash", PACKAGE, "--from", self.trees[version], "--version", version, *args,
                   env=env)

    def msi(self, version):
        return os.path.join(self.dists[version], "Sorvane-%s.msi" % version)


scratch = None


def shared_scratch():
    global scratch
    if scratch is None:
        scratch = Scratch()
    return scratch


def tearDownModule():
    if scratch is not None:
        scratch.folder.cleanup()


def verify(path):
    """osslsigncode's verdict on the file against the throwaway certificate:
    (exit code, its output)."""
    return run("osslsigncode", "verify", "-in", path, "-CAfile", scratch.pem)


class SignedRelease(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        shared_scratch()
        cls.dist = scratch.dists[scratch.version]
        cls.name = "Sorvane-" + scratch.version
        cls.unpacked = os.path.join(scratch.folder.name, "unpacked")
        if not os.path.isdir(cls.unpacked):
            with zipfile.ZipFile(os.path.join(cls.dist, cls.name + ".zip")) as z:
                z.extractall(cls.unpacked)
        cls.folder = os.path.join(cls.unpacked, cls.name)

    def test_every_exe_script_module_file_and_the_msi_verifies_as_signed_by_the_certificate(self):
        signable = [f for f in files_under(scratch.trees[scratch.version]) if f.lower().endswith(SIGNED)]
        self.assertEqual(len(signable), 4 + os.path.isfile(os.path.join(self.folder, "Sorvane.exe")),
                         signable)
        self.assertEqual(signable, [f for f in files_under(self.folder) if f.lower().endswith(SIGNED)])
        for path in [os.path.join(self.folder, f) for f in signable] + [scratch.msi(scratch.version)]:
            code, out = verify(path)
            with self.subTest(path=os.path.basename(path)):
                self.assertEqual(0, code, out)
                self.assertIn("Signature verification: ok", out)
                self.assertIn("Number of verified signatures: 1", out)
                self.assertIn("Subject: /CN=" + SIGNER, out)

    def test_files_that_take_no_signature_are_packed_as_installed(self):
        tree = scratch.trees[scratch.version]
        for name in ("GUIDE.txt", os.path.join("fleet", "tasks.yml")):
            with open(os.path.join(tree, name), "rb") as a, open(os.path.join(self.folder, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)

    def test_one_changed_byte_fails_verification(self):
        cases = {"exe": os.path.join(self.folder, os.path.basename(harness.EXE)),
                 "script": os.path.join(self.folder, "fleet", "detect.ps1"),
                 "msi": scratch.msi(scratch.version)}
        for kind, path in cases.items():
            with open(path, "rb") as f:
                data = bytearray(f.read())
            # The middle of an exe or an MSI is signed content; a script's
            # first byte is its text.
            at = 0 if kind == "script" else len(data) // 2
            data[at] ^= 0x01
            changed = os.path.join(scratch.folder.name, "changed-" + os.path.basename(path))
            write(changed, bytes(data))
            code, out = verify(changed)
            with self.subTest(kind=kind):
                self.assertNotEqual(0, code, out)
                self.assertNotIn("Signature verification: ok", out)

    def test_dist_holds_the_zip_and_the_msi_each_with_its_sha256_sum_and_the_output_no_password(self):
        self.assertEqual(sorted(self.name + ext for ext in (".msi", ".msi.sha256", ".zip", ".zip.sha256")),
                         sorted(os.listdir(self.dist)))
        for ext in (".zip", ".msi"):
            with open(os.path.join(self.dist, self.name + ext), "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            with open(os.path.join(self.dist, self.name + ext + ".sha256")) as f:
                self.assertEqual("%s  %s\n" % (digest, self.name + ext), f.read())
        out = scratch.outputs[scratch.version]
        self.assertNotIn(PASSWORD, out)
        self.assertNotIn("UNSIGNED", out)

    def test_a_certificate_it_cannot_use_fails_clearly_and_leaves_dist_as_it_was(self):
        cases = [
            ("wrong password", ["--sign", scratch.pfx], {"SORVANE_SIGN_PASSWORD": "wrong"},
             "the password in SORVANE_SIGN_PASSWORD is wrong"),
            ("no password", ["--sign", scratch.pfx], {"SORVANE_SIGN_PASSWORD": None},
             "set SORVANE_SIGN_PASSWORD"),
            ("not for code signing", ["--sign", scratch.tls_pfx], {},
             "is not for code signing: its extended key usage does not include Code Signing"),
            # Fails after the first file is signed: the half-signed case.
            ("timestamp server down", ["--sign", scratch.pfx, "--timestamp", "http://127.0.0.1:9/"], {},
             "failed (timestamp server http://127.0.0.1:9/)"),
        ]
        for label, args, env, message in cases:
            with self.subTest(label):
                dist = os.path.join(scratch.folder.name, "dist-failed")
                shutil.rmtree(dist, ignore_errors=True)
                write(os.path.join(dist, self.name + ".zip"), b"the release before")
                environment = dict(os.environ, SORVANE_SIGN_PASSWORD=PASSWORD, DIST_DIR=dist)
                for name, value in env.items():
                    if value is None:
                        environment.pop(name)
                    else:
                        environment[name] = value
                result = subprocess.run(["bash", PACKAGE, "--from", scratch.trees[scratch.version],
                                         "--version", scratch.version, *args], env=environment,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, timeout=300)
                out = result.stdout.decode("utf-8", "replace")
                self.assertEqual(1, result.returncode, out)
                self.assertIn(message, out)
                self.assertNotIn(PASSWORD, out)
                self.assertEqual([self.name + ".zip"], os.listdir(dist))
                with open(os.path.join(dist, self.name + ".zip"), "rb") as f:
                    self.assertEqual(b"the release before", f.read())


class MsiUnderWine(ToolTestCase):
    """Wine's msiexec in a 64-bit prefix of its own, made afresh each run, so
    nothing a former run installed is in it."""

    @classmethod
    def setUpClass(cls):
        shared_scratch()
        cls.prefix_path = os.path.join(harness.BUILD, "msi-prefix")
        cls.stop()
        shutil.rmtree(cls.prefix_path, ignore_errors=True)
        for leftover in (".lock", ".boot.log"):
            if os.path.exists(cls.prefix_path + leftover):
                os.remove(cls.prefix_path + leftover)
        cls.prefix = harness.WinePrefix()
        cls.prefix.place(cls.prefix_path, "win64")
        cls.program_files = os.path.join(cls.prefix_path, "drive_c", "Program Files")

    @classmethod
    def tearDownClass(cls):
        cls.stop()

    @classmethod
    def stop(cls):
        subprocess.run(["bash", "-c", '. "$0/wine-env.sh" "$1" win64 64 && wine_prefix_stop',
                        os.path.join(ROOT, "tools"), cls.prefix_path],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def msiexec(self, *args):
        code, out = self.prefix.run(["msiexec", *args, "/qn"], stdin=b"", timeout=120)
        self.assertEqual(0, code, "msiexec %s: %r" % (" ".join(args), out))

    def installed(self):
        """Every file under Program Files that this package could have put there."""
        found = []
        for top in ("Sorvane", os.path.join("WindowsPowerShell", "Modules", "Sorvane")):
            folder = os.path.join(self.program_files, top)
            found += [os.path.join(top, f) for f in files_under(folder)]
        return found

    def expected(self, version):
        tree = scratch.trees[version]
        module = os.path.join("PowerShell", "Modules", "Sorvane", version)
        placed = []
        for f in files_under(tree):
            if f.startswith(module + os.sep):
                placed.append(os.path.join("WindowsPowerShell", "Modules", "Sorvane", version,
                                           os.path.relpath(f, module)))
            else:
                placed.append(os.path.join("Sorvane", f))
        return sorted(placed)

    def products(self):
        """(DisplayName, DisplayVersion) of each installed product named Sorvane."""
        code, out = self.prefix.reg("query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
                                    "/s", "/reg:64")
        entries, current = [], {}
        for line in out.decode("latin-1").splitlines():
            if line.startswith("HKEY_"):
                current = {}
                entries.append(current)
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                current[parts[0]] = parts[2]
        return [(e["DisplayName"], e.get("DisplayVersion")) for e in entries
                if e.get("DisplayName") == "Sorvane"]

    def test_installs_runs_check_upgrades_to_one_copy_and_removes_every_file(self):
        first, second = scratch.version, scratch.next_version
        self.msiexec("/i", harness.windows_path(scratch.msi(first)))
        self.assertEqual(self.expected(first), self.installed())
        # The signed files as the package holds them, not the unsigned tree's.
        unpacked = os.path.join(scratch.folder.name, "msi-check")
        with zipfile.ZipFile(os.path.join(scratch.dists[first], "Sorvane-%s.zip" % first)) as z:
            z.extractall(unpacked)
        exe = os.path.basename(harness.EXE)
        with open(os.path.join(unpacked, "Sorvane-" + first, exe), "rb") as a, \
                open(os.path.join(self.program_files, "Sorvane", exe), "rb") as b:
            self.assertEqual(a.read(), b.read(), exe)
        self.assertEqual([("Sorvane", first)], self.products())

        harness.seed(harness.GOOD_SERVER, harness.GOOD_CLIENT, where=self.prefix)
        code, out = self.prefix.run([r"C:\Program Files\Sorvane\%s" % exe, "/check"])
        lines = out.decode("latin-1").split("\r\n")
        self.assertEqual((0, COMPLIANT), (code, lines[-2]), out)

        self.msiexec("/i", harness.windows_path(scratch.msi(second)))
        self.assertEqual(self.expected(second), self.installed())
        self.assertEqual([("Sorvane", second)], self.products())

        self.msiexec("/x", harness.windows_path(scratch.msi(second)))
        self.assertEqual([], self.installed())
        self.assertEqual([], self.products())
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "Sorvane")))


if __name__ == "__main__":
    unittest.main()
