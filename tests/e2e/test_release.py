"""The signed release and its MSI: tools/package.sh --from packs a small install tree made here
(the build's exes, a stand-in module and fleet files), signed with a throwaway certificate that
openssl makes; osslsigncode verifies it; a certificate it must refuse leaves dist/ as it was; and
Wine's own msiexec installs, replaces (with a rebuild and with a newer version), refuses to
downgrade and removes the MSI in a prefix of its own. One release serves both builds and the MSI
is a 64-bit one, so this runs in the 64-bit tree only."""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

import harness
from harness import ROOT, ToolTestCase
from texts import COMPLIANT

SIGNER, PASSWORD = "Sorvane Test Signer", "correct horse 7"
MODULES = os.path.join("PowerShell", "Modules", "Sorvane")
EVENT_SOURCE = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Sorvane"
# The packages made, by name: the build's version, another build of it (the same files but the
# guide, as a rebuild or a re-signing gives), and the version above it.
BUILDS = ("first", "rebuilt", "second")
# Made by setUpModule: the scratch folder, the certificates, and for each build its version, its
# install tree, its signed package and package.sh's output.
top = pfx = None
certificates, versions, trees, dists, outputs = {}, {}, {}, {}, {}


def run(*command, **env):
    """(exit code, output text), with these variables over the environment (None: unset)."""
    environment = {k: v for k, v in dict(os.environ, **env).items() if v is not None}
    result = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=300)
    return result.returncode, result.stdout.decode("utf-8", "replace")


def package(build, dist, *args, **env):
    return run("bash", os.path.join(ROOT, "tools", "package.sh"), "--from", trees[build], "--version",
               versions[build], *args, **dict({"SORVANE_SIGN_PASSWORD": PASSWORD, "DIST_DIR": dist}, **env))


# openssl ca, which alone among openssl 3.0's commands sets when a certificate starts to be valid.
CA_CONFIG = """[ca]
default_ca = signer
[signer]
database = {top}/index.txt
serial = {top}/serial
new_certs_dir = {top}
default_md = sha256
policy = any_name
unique_subject = no
[any_name]
commonName = supplied
"""


def certificate(name, usage, valid=("-days", "2")):
    """name.pfx under PASSWORD (and name.pem): self-signed, with this extended key usage, valid
    from now for two days or as openssl ca's -startdate and -enddate say."""
    key, request, pem, bundle, extensions = (os.path.join(top, name + ext)
                                            for ext in (".key", ".csr", ".pem", ".pfx", ".ext"))
    config = os.path.join(top, "ca.cnf")
    if not os.path.exists(config):
        write(config, CA_CONFIG.format(top=top).encode())
        write(os.path.join(top, "index.txt"), b"")
        write(os.path.join(top, "serial"), b"01\n")
    write(extensions, b"keyUsage = digitalSignature\nextendedKeyUsage = %s\n" % usage.encode())
    for command in (("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
                     "-subj", "/CN=" + SIGNER),
                    ("ca", "-batch", "-selfsign", "-config", config, "-keyfile", key, "-in", request,
                     "-extfile", extensions, "-notext", "-out", pem, *valid),
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


def msi(build):
    return os.path.join(dists[build], "Sorvane-%s.msi" % versions[build])


def days_from_now(days):
    """A time as openssl ca's -startdate and -enddate take it."""
    return time.strftime("%Y%m%d%H%M%SZ", time.gmtime(time.time() + days * 86400))


def setUpModule():
    global top, pfx
    harness.configure_from_environment()
    if harness.BITS != 64:
        raise unittest.SkipTest("one release for both builds, and a 64-bit MSI: tested in the 64-bit tree")
    for tool in ("wixl", "osslsigncode", "openssl"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest("%s is not installed" % tool)
    top = tempfile.mkdtemp()
    pfx = certificate("signer", "codeSigning")
    certificates.update(tls=certificate("tls", "serverAuth"),
                        expired=certificate("expired", "codeSigning",
                                            ("-startdate", days_from_now(-730), "-enddate", days_from_now(-365))),
                        future=certificate("future", "codeSigning",
                                           ("-startdate", days_from_now(365), "-enddate", days_from_now(730))))
    with open(os.path.join(harness.BUILD, "version.txt")) as f:
        first = f.read().strip()
    versions.update(first=first, rebuilt=first, second=re.sub(r"\d+$", lambda m: str(int(m.group()) + 1), first))
    for build, script in zip(BUILDS, ("detect.ps1", "detect.ps1", "detect2.ps1")):
        # What `cmake --install` gives, the module and the fleet files stood in for; the guide
        # names its build, so what is installed says which build it is.
        version, tree = versions[build], os.path.join(top, "tree-" + build)
        trees[build] = tree
        for path, data in (("GUIDE.txt", b"The guide of the %s build.\r\n" % build.encode()),
                           ("fleet/tasks.yml", b"- name: stand-in\r\n"),
                           ("fleet/" + script, b"& C:\\Tools\\Sorvane.exe /check\r\n"),
                           ("%s/%s/Sorvane.psd1" % (MODULES, version),
                            b"@{\r\nModuleVersion = '%s'\r\nAuthor = 'A'\r\nDescription = 'D'\r\n}\r\n" % version.encode()),
                           ("%s/%s/Sorvane.psm1" % (MODULES, version), b"function Get-SorvaneSetting { }\r\n")):
            write(os.path.join(tree, path), data)
        for exe in (harness.EXE, os.path.join(os.path.dirname(harness.BUILD), "i686", "Sorvane.exe")):
            if os.path.isfile(exe):
                shutil.copy(exe, tree)
        dists[build] = os.path.join(top, "dist-" + build)
        code, outputs[build] = package(build, dists[build], "--sign", pfx)
        assert code == 0, "package.sh --sign failed:\n" + outputs[build]
    with zipfile.ZipFile(os.path.join(dists["first"], "Sorvane-%s.zip" % first)) as z:
        z.extractall(os.path.join(top, "unpacked"))


def tearDownModule():
    if top is not None:
        shutil.rmtree(top, ignore_errors=True)


class SignedRelease(ToolTestCase):
    def test_every_exe_script_and_module_file_and_the_msi_verify_and_one_changed_byte_fails(self):
        folder = os.path.join(top, "unpacked", "Sorvane-" + versions["first"])
        signable = [f for f in files_under(trees["first"])
                    if f.lower().endswith((".exe", ".ps1", ".psm1", ".psd1"))]
        self.assertEqual(signable, [f for f in files_under(folder) if f in signable])
        for path in [os.path.join(folder, f) for f in signable] + [msi("first")]:
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
        dist, name = dists["first"], "Sorvane-" + versions["first"]
        nupkg = "Sorvane.%s.nupkg" % versions["first"]
        self.assertEqual(sorted([name + ext for ext in (".msi", ".msi.sha256", ".zip", ".zip.sha256")] +
                                [nupkg, nupkg + ".sha256"]), sorted(os.listdir(dist)))
        for file in (name + ".zip", name + ".msi", nupkg):
            with open(os.path.join(dist, file), "rb") as f, open(os.path.join(dist, file + ".sha256")) as sums:
                self.assertEqual("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), file), sums.read())
        self.assertNotIn(PASSWORD, outputs["first"])
        self.assertNotIn("UNSIGNED", outputs["first"])

    def test_the_module_package_holds_the_signed_module_files(self):
        module = os.path.join(top, "unpacked", "Sorvane-" + versions["first"], MODULES, versions["first"])
        with zipfile.ZipFile(os.path.join(dists["first"], "Sorvane.%s.nupkg" % versions["first"])) as z:
            for name in files_under(module):
                with open(os.path.join(module, name), "rb") as f:
                    self.assertEqual(f.read(), z.read(name), name)
        self.assertEqual(0, verify(os.path.join(module, "Sorvane.psm1"))[0])

    def test_a_certificate_it_cannot_use_fails_clearly_and_leaves_dist_as_it_was(self):
        dist = os.path.join(top, "dist-failed")
        before = os.path.join(dist, "Sorvane-%s.zip" % versions["first"])
        for label, args, env, message in [
                ("wrong password", [pfx], {"SORVANE_SIGN_PASSWORD": "wrong"},
                 "the password in SORVANE_SIGN_PASSWORD is wrong"),
                ("no password", [pfx], {"SORVANE_SIGN_PASSWORD": None}, "set SORVANE_SIGN_PASSWORD"),
                ("not for code signing", [certificates["tls"]], {},
                 "is not for code signing: its extended key usage does not include Code Signing"),
                ("expired", [certificates["expired"]], {}, "(CN = %s) has expired" % SIGNER),
                ("not valid yet", [certificates["future"]], {},
                 "(CN = %s) is not valid yet: it is valid from " % SIGNER),
                # Fails once the first file is signed: the half-signed case.
                ("timestamp server down", [pfx, "--timestamp", "http://127.0.0.1:9/"], {},
                 "failed (timestamp server http://127.0.0.1:9/)")]:
            with self.subTest(label):
                shutil.rmtree(dist, ignore_errors=True)
                write(before, b"the release before")
                code, out = package("first", dist, "--sign", *args, **env)
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
        """msiexec's exit code (modulo 256, as an exit status holds it) and its output."""
        return self.prefix.run(["msiexec", *args, "/qn"], stdin=b"", timeout=120)

    def assertInstalled(self, build, step):
        """Exactly the files of that build's tree (none for None; its guide says which build), the
        module where Import-Module finds it, and one product registered, with that build's version
        (the exes')."""
        version = versions.get(build)
        module = "%s/%s/" % (MODULES, version)
        packed = files_under(trees[build]) if build else []
        self.assertEqual(sorted("WindowsPowerShell/Modules/Sorvane/%s/%s" % (version, f[len(module):])
                                if f.startswith(module) else "Sorvane/" + f for f in packed),
                         sorted(folder + "/" + f for folder in ("Sorvane", "WindowsPowerShell/Modules")
                                for f in files_under(os.path.join(self.program_files, folder))), step)
        if build:
            with open(os.path.join(trees[build], "GUIDE.txt"), "rb") as packed_guide, \
                    open(os.path.join(self.program_files, "Sorvane", "GUIDE.txt"), "rb") as guide:
                self.assertEqual(packed_guide.read(), guide.read(), step)
        else:
            for folder in ("Sorvane", "WindowsPowerShell/Modules/Sorvane"):
                self.assertFalse(os.path.exists(os.path.join(self.program_files, folder)), step)
        # The event source, while installed: the installed 32-bit exe (the 64-bit one where it alone
        # is packed) is the message file.
        code, out = self.prefix.reg("query", EVENT_SOURCE, "/reg:64")
        if build:
            exe = next(name for name in ("Sorvane.exe", "Sorvane64.exe")
                       if os.path.isfile(os.path.join(trees[build], name)))
            self.assertEqual((0, [("EventMessageFile", "REG_SZ", r"C:\Program Files\Sorvane" + "\\" + exe),
                                  ("TypesSupported", "REG_DWORD", "0x7")]),
                             (code, re.findall(r"^ +(\S+) +(REG_\w+) +(.*?)\s*$", out.decode("latin-1"), re.M)),
                             step)
        else:
            self.assertEqual(1, code, "%s: the event source is left: %r" % (step, out))
        _, out = self.prefix.reg("query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
                                 "/s", "/reg:64")
        self.assertEqual([version] if build else [],
                         [re.search(r"DisplayVersion\s+REG_SZ\s+(\S+)", entry).group(1)
                          for entry in out.decode("latin-1").split("HKEY_")
                          if re.search(r"DisplayName\s+REG_SZ\s+Sorvane\s*$", entry, re.M)], step)

    def test_replaces_a_build_of_the_same_or_an_older_version_refuses_a_downgrade_and_removes_all(self):
        exe = os.path.basename(harness.EXE)
        harness.seed(harness.GOOD_SERVER, harness.GOOD_CLIENT, where=self.prefix)
        # Each step in the prefix the one before it left: msiexec's arguments, its exit code, and
        # the build installed after it.
        for step, action, build, expected, installed in [
                ("install", "/i", "first", 0, "first"),
                ("another build of the same version over it", "/i", "rebuilt", 0, "rebuilt"),
                ("a newer version over it", "/i", "second", 0, "second"),
                # ERROR_INSTALL_FAILURE (1603): the launch condition that refuses a downgrade.
                ("an older version over it: refused", "/i", "first", 1603 % 256, "second"),
                ("remove", "/x", "second", 0, None)]:
            code, out = self.msiexec(action, harness.windows_path(msi(build)))
            self.assertEqual(expected, code, "%s: msiexec %s %s: %r" % (step, action, build, out))
            self.assertInstalled(installed, step)
            if installed:
                self.assertEqual(0, verify(os.path.join(self.program_files, "Sorvane", exe))[0],
                                 "%s: the signed exe is installed" % step)
                code, out = self.prefix.run([r"C:\Program Files\Sorvane" + "\\" + exe, "/check"])
                self.assertEqual((0, COMPLIANT), (code, out.decode("latin-1").split("\r\n")[-2]),
                                 "%s: %r" % (step, out))


if __name__ == "__main__":
    unittest.main()
