"""The signed release and its MSI: tools/package.sh --from packs a small
install tree made here (the build's exes, a stand-in PowerShell module and
fleet files) signed with a throwaway certificate that openssl makes;
osslsigncode verifies what it signed; a certificate it must refuse leaves
dist/ as it was; and Wine's own msiexec installs, upgrades and removes the
MSI in a prefix of its own.

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
SIGNABLE = (".exe", ".ps1", ".psm1", ".psd1")
MODULES = os.path.join("PowerShell", "Modules", "Sorvane")

# Made once by setUpModule: the scratch folder, the certificates, and for the
# build's version and the one above it an install tree and its signed package.
top = pem = pfx = tls_pfx = None
versions, trees, dists, outputs = [], {}, {}, {}


def run(*command, env=None):
    """(exit code, output text); a variable given as None in `env` is unset."""
    environment = dict(os.environ)
    for name, value in (env or {}).items():
        if value is None:
            environment.pop(name, None)
        else:
            environment[name] = value
    result = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def package(version, dist, *args, env=None):
    return run("bash", PACKAGE, "--from", trees[version], "--version", version, *args,
               env=dict({"SORVANE_SIGN_PASSWORD": PASSWORD, "DIST_DIR": dist}, **(env or {})))


def certificate(name, usage):
    """A self-signed certificate with this extended key usage: name.pfx under
    PASSWORD, and name.pem."""
    key, cert, bundle = (os.path.join(top, name + ext) for ext in (".key", ".pem", ".pfx"))
    for command in (["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-keyout", key, "-out", cert, "-subj", "/CN=" + SIGNER,
                     "-addext", "keyUsage=digitalSignature",
                     "-addext", "extendedKeyUsage=" + usage],
                    ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", bundle,
                     "-passout", "env:SORVANE_SIGN_PASSWORD"]):
        code, out = run(*command, env={"SORVANE_SIGN_PASSWORD": PASSWORD})
        if code != 0:
            raise AssertionError("openssl failed: " + out)
    return bundle


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def install_tree(folder, version, script):
    """What `cmake --install` gives, the module and the fleet files stood in for."""
    os.makedirs(folder)
    for exe in (harness.EXE, os.path.join(os.path.dirname(harness.BUILD), "i686", "Sorvane.exe")):
        if os.path.isfile(exe):
            shutil.copy(exe, folder)
    write(os.path.join(folder, "GUIDE.txt"), b"The guide.\r\n")
    module = os.path.join(folder, MODULES, version)
    write(os.path.join(module, "Sorvane.psd1"), b"@{\r\n    ModuleVersion = '%s'\r\n"
          b"    RootModule = 'Sorvane.psm1'\r\n}\r\n" % version.encode())
    write(os.path.join(module, "Sorvane.psm1"), b"function Get-SorvaneSetting { 'stand-in' }\r\n")
    write(os.path.join(folder, "fleet", script), b"& 'C:\\Tools\\Sorvane.exe' /check\r\n")
    write(os.path.join(folder, "fleet", "tasks.yml"), b"- name: stand-in\r\n")


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, _, names in os.walk(folder) for n in names)


def msi(version):
    return os.path.join(dists[version], "Sorvane-%s.msi" % version)


def setUpModule():
    global top, pem, pfx, tls_pfx
    harness.configure_from_environment()
    if harness.BITS != 64:
        raise unittest.SkipTest("one release for both builds, and a 64-bit MSI: "
                                "tested in the 64-bit tree")
    for tool in ("wixl", "osslsigncode", "openssl"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest("%s is not installed" % tool)
    top = tempfile.mkdtemp()
    pfx, pem, tls_pfx = certificate("signer", "codeSigning"), os.path.join(top, "signer.pem"), \
        certificate("tls", "serverAuth")
    with open(os.path.join(harness.BUILD, "version.txt")) as f:
        first = f.read().strip()
    major, minor, build = first.split(".")
    versions[:] = [first, "%s.%s.%d" % (major, minor, int(build) + 1)]
    for version, script in zip(versions, ("detect.ps1", "detect2.ps1")):
        trees[version] = os.path.join(top, "tree-" + version)
        install_tree(trees[version], version, script)
        dists[version] = os.path.join(top, "dist-" + version)
        code, outputs[version] = package(version, dists[version], "--sign", pfx)
        if code != 0:
            raise AssertionError("package.sh --sign failed:\n" + outputs[version])
    with zipfile.ZipFile(os.path.join(dists[versions[0]], "Sorvane-%s.zip" % versions[0])) as z:
        z.extractall(os.path.join(top, "unpacked"))


def tearDownModule():
    if top is not None:
        shutil.rmtree(top, ignore_errors=True)


def verify(path):
    """osslsigncode's verdict against the throwaway certificate: (exit code, its report)."""
    return run("osslsigncode", "verify", "-in", path, "-CAfile", pem)


class SignedRelease(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.name = "Sorvane-" + versions[0]
        cls.dist = dists[versions[0]]
        cls.folder = os.path.join(top, "unpacked", cls.name)

    def test_every_exe_script_module_file_and_the_msi_verifies_as_signed_by_the_certificate(self):
        signable = [f for f in files_under(trees[versions[0]]) if f.lower().endswith(SIGNABLE)]
        has_32bit_exe = os.path.isfile(os.path.join(self.folder, "Sorvane.exe"))
        self.assertEqual(4 + has_32bit_exe, len(signable))
        self.assertEqual(signable,
                         [f for f in files_under(self.folder) if f.lower().endswith(SIGNABLE)])
        for path in [os.path.join(self.folder, f) for f in signable] + [msi(versions[0])]:
            code, out = verify(path)
            with self.subTest(path=os.path.basename(path)):
                self.assertEqual(0, code, out)
                self.assertIn("Signature verification: ok", out)
                self.assertIn("Number of verified signatures: 1", out)
                self.assertIn("Subject: /CN=" + SIGNER, out)

    def test_one_changed_byte_fails_verification(self):
        # The middle of an exe or an MSI is signed content; a script's first
        # byte is its text.
        for path, at in ((os.path.join(self.folder, os.path.basename(harness.EXE)), 0.5),
                         (os.path.join(self.folder, "fleet", "detect.ps1"), 0),
                         (msi(versions[0]), 0.5)):
            with open(path, "rb") as f:
                data = bytearray(f.read())
            data[int(len(data) * at)] ^= 0x01
            changed = os.path.join(top, "changed-" + os.path.basename(path))
            write(changed, bytes(data))
            code, out = verify(changed)
            with self.subTest(path=os.path.basename(path)):
                self.assertNotEqual(0, code, out)
                self.assertNotIn("Signature verification: ok", out)

    def test_dist_holds_the_zip_and_the_msi_with_their_sums_and_no_password_is_printed(self):
        self.assertEqual([self.name + ext for ext in (".msi", ".msi.sha256", ".zip", ".zip.sha256")],
                         sorted(os.listdir(self.dist)))
        for ext in (".zip", ".msi"):
            with open(os.path.join(self.dist, self.name + ext), "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            with open(os.path.join(self.dist, self.name + ext + ".sha256")) as f:
                self.assertEqual("%s  %s\n" % (digest, self.name + ext), f.read())
        self.assertNotIn(PASSWORD, outputs[versions[0]])
        self.assertNotIn("UNSIGNED", outputs[versions[0]])

    def test_a_certificate_it_cannot_use_fails_clearly_and_leaves_dist_as_it_was(self):
        for label, args, env, message in [
                ("wrong password", ["--sign", pfx], {"SORVANE_SIGN_PASSWORD": "wrong"},
                 "the password in SORVANE_SIGN_PASSWORD is wrong"),
                ("no password", ["--sign", pfx], {"SORVANE_SIGN_PASSWORD": None},
                 "set SORVANE_SIGN_PASSWORD"),
                ("not for code signing", ["--sign", tls_pfx], {},
                 "is not for code signing: its extended key usage does not include Code Signing"),
                # Fails once the first file is signed: the half-signed case.
                ("timestamp server down", ["--sign", pfx, "--timestamp", "http://127.0.0.1:9/"], {},
                 "failed (timestamp server http://127.0.0.1:9/)")]:
            with self.subTest(label):
                dist = os.path.join(top, "dist-failed")
                shutil.rmtree(dist, ignore_errors=True)
                write(os.path.join(dist, self.name + ".zip"), b"the release before")
                code, out = package(versions[0], dist, *args, env=env)
                self.assertEqual(1, code, out)
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
        cls.path = os.path.join(harness.BUILD, "msi-prefix")
        cls.stop()
        shutil.rmtree(cls.path, ignore_errors=True)
        cls.prefix = harness.WinePrefix()
        cls.prefix.place(cls.path, "win64")
        cls.program_files = os.path.join(cls.path, "drive_c", "Program Files")

    @classmethod
    def tearDownClass(cls):
        cls.stop()

    @classmethod
    def stop(cls):
        subprocess.run(["bash", "-c", '. "$0/wine-env.sh" "$1" win64 64 && wine_prefix_stop',
                        os.path.join(ROOT, "tools"), cls.path], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def msiexec(self, *args):
        code, out = self.prefix.run(["msiexec", *args, "/qn"], stdin=b"", timeout=120)
        self.assertEqual(0, code, "msiexec %s: %r" % (" ".join(args), out))

    def installed(self):
        """Every file under the two folders the package installs into."""
        return [os.path.join(folder, f)
                for folder in ("Sorvane", os.path.join("WindowsPowerShell", "Modules"))
                for f in files_under(os.path.join(self.program_files, folder))]

    def expected(self, version):
        module = os.path.join(MODULES, version) + os.sep
        return sorted(os.path.join("WindowsPowerShell", "Modules", "Sorvane", version,
                                   f[len(module):])
                      if f.startswith(module) else os.path.join("Sorvane", f)
                      for f in files_under(trees[version]))

    def products(self):
        """DisplayVersion of each installed product named Sorvane."""
        _, out = self.prefix.reg(
            "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s", "/reg:64")
        entries = []
        for line in out.decode("latin-1").splitlines():
            if line.startswith("HKEY_"):
                entries.append({})
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                entries[-1][parts[0]] = parts[2]
        return [e.get("DisplayVersion") for e in entries if e.get("DisplayName") == "Sorvane"]

    def test_installs_runs_check_upgrades_to_one_copy_and_removes_every_file(self):
        first, second = versions
        self.msiexec("/i", harness.windows_path(msi(first)))
        self.assertEqual(self.expected(first), sorted(self.installed()))
        # ProductVersion is the exes' version (version.txt, as their version record).
        self.assertEqual([first], self.products())
        exe = os.path.basename(harness.EXE)
        with open(os.path.join(top, "unpacked", "Sorvane-" + first, exe), "rb") as packed, \
                open(os.path.join(self.program_files, "Sorvane", exe), "rb") as installed:
            self.assertEqual(packed.read(), installed.read(), "the signed exe is installed")
        harness.seed(harness.GOOD_SERVER, harness.GOOD_CLIENT, where=self.prefix)
        code, out = self.prefix.run([r"C:\Program Files\Sorvane" + "\\" + exe, "/check"])
        self.assertEqual((0, COMPLIANT), (code, out.decode("latin-1").split("\r\n")[-2]), out)

        self.msiexec("/i", harness.windows_path(msi(second)))
        self.assertEqual(self.expected(second), sorted(self.installed()))
        self.assertEqual([second], self.products())

        self.msiexec("/x", harness.windows_path(msi(second)))
        self.assertEqual([], self.installed())
        self.assertEqual([], self.products())
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "Sorvane")))


if __name__ == "__main__":
    unittest.main()
