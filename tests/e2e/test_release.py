"""The signed release and its MSI: tools/package.sh --from packs a small install tree made here
(the build's exes, a stand-in module and fleet files), signed with a throwaway certificate that
openssl makes; osslsigncode verifies it; a certificate it must refuse leaves dist/ as it was; and
Wine's own msiexec installs, upgrades and removes the MSI in a prefix of its own. One release
serves both builds and the MSI is a 64-bit one, so this runs in the 64-bit tree only."""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import harness
from harness import ROOT, ToolTestCase
from texts import COMPLIANT

SIGNER, PASSWORD = "Sorvane Test Signer", "correct horse 7"
MODULES = os.path.join("PowerShell", "Modules", "Sorvane")
# Made by setUpModule: the scratch folder, the certificates, and for the build's version and the
# one above it an install tree, its signed package and package.sh's output.
top = pfx = tls_pfx = None
versions, trees, dists, outputs = [], {}, {}, {}


def run(*command, **env):
    """(exit code, output text), with these variables over the environment (None: unset)."""
    environment = {k: v for k, v in dict(os.environ, **env).items() if v is not None}
    result = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=300)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def package(version, dist, *args, **env):
    return run("bash", os.path.join(ROOT, "tools", "package.sh"), "--from", trees[version], "--version", version,
               *args, **dict({"SORVANE_SIGN_PASSWORD": PASSWORD, "DIST_DIR": dist}, **env))


def certificate(name, usage):
    """name.pfx under PASSWORD (and name.pem): self-signed, with this extended key usage."""
    key, pem, bundle = (os.path.join(top, name + ext) for ext in (".key", ".pem", ".pfx"))
    for command in (("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key, "-out", pem,
                     "-subj", "/CN=" + SIGNER, "-addext", "keyUsage=digitalSignature",
                     "-addext", "extendedKeyUsage=" + usage),
                    ("pkcs12", "-export", "-inkey", key, "-in", pem, "-out", bundle, "-passout", "env:PASSWORD")):
        code, out = run("openssl", *command, PASSWORD=PASSWORD)
        assert code == 0, "openssl failed: " + out
    return bundle


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder) for d, _, names in os.walk(folder) for n in names)


def verify(path):
    """osslsigncode's verdict against the throwaway certificate: (exit code, its report)."""
    return run("osslsigncode", "verify", "-in", path, "-CAfile", os.path.join(top, "signer.pem"))


def msi(version):
    return os.path.join(dists[version], "Sorvane-%s.msi" % version)


def setUpModule():
    global top, pfx, tls_pfx
    harness.configure_from_environment()
    if harness.BITS != 64:
        raise unittest.SkipTest("one release for both builds, and a 64-bit MSI: tested in the 64-bit tree")
    for tool in ("wixl", "osslsigncode", "openssl"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest("%s is not installed" % tool)
    top = tempfile.mkdtemp()
    pfx, tls_pfx = certificate("signer", "codeSigning"), certificate("tls", "serverAuth")
    with open(os.path.join(harness.BUILD, "version.txt")) as f:
        first = f.read().strip()
    versions[:] = [first, re.sub(r"\d+$", lambda m: str(int(m.group()) + 1), first)]
    for version, script in zip(versions, ("detect.ps1", "detect2.ps1")):
        # What `cmake --install` gives, the module and the fleet files stood in for.
        tree = trees[version] = os.path.join(top, "tree-" + version)
        for path, data in (("GUIDE.txt", b"The guide.\r\n"), ("fleet/tasks.yml", b"- name: stand-in\r\n"),
                           ("fleet/" + script, b"& C:\\Tools\\Sorvane.exe /check\r\n"),
                           ("%s/%s/Sorvane.psd1" % (MODULES, version), b"@{\r\nModuleVersion = '%s'\r\n}\r\n" % version.encode()),
                           ("%s/%s/Sorvane.psm1" % (MODULES, version), b"function Get-SorvaneSetting { }\r\n")):
            write(os.path.join(tree, path), data)
        for exe in (harness.EXE, os.path.join(os.path.dirname(harness.BUILD), "i686", "Sorvane.exe")):
            if os.path.isfile(exe):
                shutil.copy(exe, tree)
        dists[version] = os.path.join(top, "dist-" + version)
        code, outputs[version] = package(version, dists[version], "--sign", pfx)
        assert code == 0, "package.sh --sign failed:\n" + outputs[version]
    with zipfile.ZipFile(os.path.join(dists[first], "Sorvane-%s.zip" % first)) as z:
        z.extractall(os.path.join(top, "unpacked"))


def tearDownModule():
    if top is not None:
        shutil.rmtree(top, ignore_errors=True)


class SignedRelease(ToolTestCase):
    def test_every_exe_script_and_module_file_and_the_msi_verify_and_one_changed_byte_fails(self):
        folder = os.path.join(top, "unpacked", "Sorvane-" + versions[0])
        signable = [f for f in files_under(trees[versions[0]])
                    if f.lower().endswith((".exe", ".ps1", ".psm1", ".psd1"))]
        self.assertEqual(signable, [f for f in files_under(folder) if f in signable])
        for path in [os.path.join(folder, f) for f in signable] + [msi(versions[0])]:
            with open(path, "rb") as f:
                data = bytearray(f.read())
            # The middle of an exe or an MSI is signed content; a script's first byte is its text.
            data[len(data) // 2 if path.endswith((".exe", ".msi")) else 0] ^= 0x01
            write(os.path.join(top, "changed", os.path.basename(path)), bytes(data))
            with self.subTest(path=os.path.basename(path)):
                code, out = verify(path)
                self.assertEqual(0, code, out)
                for line in ("Signature verification: ok", "Number of verified signatures: 1",
                             "Subject: /CN=" + SIGNER):
                    self.assertIn(line, out)
                code, out = verify(os.path.join(top, "changed", os.path.basename(path)))
                self.assertNotEqual(0, code, out)
                self.assertNotIn("Signature verification: ok", out)

    def test_dist_holds_the_zip_and_the_msi_with_their_sums_and_no_password_is_printed(self):
        dist, name = dists[versions[0]], "Sorvane-" + versions[0]
        self.assertEqual([name + ext for ext in (".msi", ".msi.sha256", ".zip", ".zip.sha256")],
                         sorted(os.listdir(dist)))
        for file in (name + ".zip", name + ".msi"):
            with open(os.path.join(dist, file), "rb") as f, open(os.path.join(dist, file + ".sha256")) as sums:
                self.assertEqual("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), file), sums.read())
        self.assertNotIn(PASSWORD, outputs[versions[0]])
        self.assertNotIn("UNSIGNED", outputs[versions[0]])

    def test_a_certificate_it_cannot_use_fails_clearly_and_leaves_dist_as_it_was(self):
        dist = os.path.join(top, "dist-failed")
        before = os.path.join(dist, "Sorvane-%s.zip" % versions[0])
        for label, args, env, message in [
                ("wrong password", [pfx], {"SORVANE_SIGN_PASSWORD": "wrong"},
                 "the password in SORVANE_SIGN_PASSWORD is wrong"),
                ("no password", [pfx], {"SORVANE_SIGN_PASSWORD": None}, "set SORVANE_SIGN_PASSWORD"),
                ("not for code signing", [tls_pfx], {},
                 "is not for code signing: its extended key usage does not include Code Signing"),
                # Fails once the first file is signed: the half-signed case.
                ("timestamp server down", [pfx, "--timestamp", "http://127.0.0.1:9/"], {},
                 "failed (timestamp server http://127.0.0.1:9/)")]:
            with self.subTest(label):
                shutil.rmtree(dist, ignore_errors=True)
                write(before, b"the release before")
                code, out = package(versions[0], dist, "--sign", *args, **env)
                self.assertEqual((1, True, False), (code, message in out, PASSWORD in out), out)
                self.assertEqual([os.path.basename(before)], os.listdir(dist))
                with open(before, "rb") as f:
                    self.assertEqual(b"the release before", f.read())


class MsiUnderWine(ToolTestCase):
    """Wine's msiexec in a 64-bit prefix of its own, made afresh each run, so nothing a former run
    installed is in it."""

    @classmethod
    def setUpClass(cls):
        cls.path = os.path.join(harness.BUILD, "msi-prefix")
        cls.tearDownClass()
        shutil.rmtree(cls.path, ignore_errors=True)
        cls.prefix = harness.WinePrefix()
        cls.prefix.place(cls.path, "win64")
        cls.program_files = os.path.join(cls.path, "drive_c", "Program Files")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["bash", "-c", '. "$0/host-bits.sh" && wine_prefix_stop "$1"',
                        os.path.join(ROOT, "tools"), cls.path], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def msiexec(self, *args):
        code, out = self.prefix.run(["msiexec", *args, "/qn"], stdin=b"", timeout=120)
        self.assertEqual(0, code, "msiexec %s: %r" % (" ".join(args), out))

    def assertInstalled(self, version):
        """Exactly the files of that version's tree (none for None), the module where Import-Module
        finds it, and one product registered, with that version (the exes')."""
        module = "%s/%s/" % (MODULES, version)
        packed = files_under(trees[version]) if version else []
        self.assertEqual(sorted("WindowsPowerShell/Modules/Sorvane/%s/%s" % (version, f[len(module):])
                                if f.startswith(module) else "Sorvane/" + f for f in packed),
                         sorted(folder + "/" + f for folder in ("Sorvane", "WindowsPowerShell/Modules")
                                for f in files_under(os.path.join(self.program_files, folder))))
        _, out = self.prefix.reg("query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
                                 "/s", "/reg:64")
        self.assertEqual([version] if version else [],
                         [re.search(r"DisplayVersion\s+REG_SZ\s+(\S+)", entry).group(1)
                          for entry in out.decode("latin-1").split("HKEY_")
                          if re.search(r"DisplayName\s+REG_SZ\s+Sorvane\s*$", entry, re.M)])

    def test_installs_runs_check_upgrades_to_one_copy_and_removes_every_file(self):
        first, second = versions
        self.msiexec("/i", harness.windows_path(msi(first)))
        self.assertInstalled(first)
        exe = os.path.basename(harness.EXE)
        installed = os.path.join(self.program_files, "Sorvane", exe)
        self.assertEqual(0, verify(installed)[0], "the signed exe is installed")
        harness.seed(harness.GOOD_SERVER, harness.GOOD_CLIENT, where=self.prefix)
        code, out = self.prefix.run([r"C:\Program Files\Sorvane" + "\\" + exe, "/check"])
        self.assertEqual((0, COMPLIANT), (code, out.decode("latin-1").split("\r\n")[-2]), out)
        self.msiexec("/i", harness.windows_path(msi(second)))
        self.assertInstalled(second)
        self.msiexec("/x", harness.windows_path(msi(second)))
        self.assertInstalled(None)
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "Sorvane")))


if __name__ == "__main__":
    unittest.main()
