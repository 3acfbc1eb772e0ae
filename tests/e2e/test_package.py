"""The release zip a technician carries to a server: tools/package.sh builds
it with both exes, and the exe of this build runs under Wine straight from the
unpacked folder."""

import hashlib
import os
import subprocess
import tempfile
import unittest
import zipfile

import harness
from harness import ROOT, ToolTestCase, seed, wine_ready
from test_exe_inspection import MACHINE, PeFile

EXES = {32: "Sorvane.exe", 64: "Sorvane64.exe"}
DSC_MANIFEST = "Sorvane.dsc.resource.json"


def setUpModule():
    harness.configure_from_environment()


def version():
    with open(os.path.join(harness.BUILD, "version.txt")) as f:
        return f.read().strip()


class ReleaseZip(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        dist = os.path.join(cls.scratch.name, "dist")
        env = dict(os.environ, DIST_DIR=dist,
                   BUILD_DIR=os.path.join(os.path.dirname(harness.BUILD), "package-build"))
        result = subprocess.run(["bash", os.path.join(ROOT, "tools", "package.sh")], env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=600)
        if result.returncode != 0:
            raise AssertionError("package.sh failed:\n" + result.stdout.decode())
        cls.output = result.stdout.decode()
        cls.name = "Sorvane-" + version()
        cls.dist = dist
        cls.zip_path = os.path.join(dist, cls.name + ".zip")
        cls.unpacked = os.path.join(cls.scratch.name, "unpacked")
        subprocess.run(["unzip", "-q", cls.zip_path, "-d", cls.unpacked], check=True)
        cls.folder = os.path.join(cls.unpacked, cls.name)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def test_zip_is_named_with_the_version_and_holds_exes_sums_guide_module_and_fleet_scripts(self):
        with zipfile.ZipFile(self.zip_path) as z:
            files = sorted(n for n in z.namelist() if not n.endswith("/"))
        module = "PowerShell/Modules/Sorvane/%s/" % version()
        fleet = ["fleet/" + n for n in os.listdir(os.path.join(ROOT, "packaging", "fleet"))]
        expected = ["GUIDE.txt", "Sorvane.exe", "Sorvane.exe.sha256", "Sorvane64.exe",
                    "Sorvane64.exe.sha256", DSC_MANIFEST] + fleet
        expected += [module + n for n in ("Sorvane.psd1", "Sorvane.psm1", DSC_MANIFEST,
                                          *EXES.values())]
        self.assertEqual(sorted(self.name + "/" + n for n in expected), files)
        # The module runs the exes beside it: the same files as the zip's own.
        for exe in EXES.values():
            self.assertEqual(self.read(exe), self.read(module + exe), exe)
        self.assertIn(b"ModuleVersion        = '%s'" % version().encode(), self.read(module + "Sorvane.psd1"))
        # The DSC manifest names the exe beside it, wherever the engine finds it.
        self.assertEqual(self.read(DSC_MANIFEST), self.read(module + DSC_MANIFEST))

    def test_module_package_holds_the_module_folder_and_a_nuspec_from_its_manifest(self):
        folder = "%s/PowerShell/Modules/Sorvane/%s/" % (self.name, version())
        with zipfile.ZipFile(os.path.join(self.dist, "Sorvane.%s.nupkg" % version())) as z:
            packed = {n: hashlib.sha256(z.read(n)).hexdigest() for n in z.namelist()}
            nuspec = z.read("Sorvane.nuspec").decode()
        with zipfile.ZipFile(self.zip_path) as z:
            module = {n[len(folder):]: hashlib.sha256(z.read(n)).hexdigest() for n in z.namelist()
                      if n.startswith(folder) and not n.endswith("/")}
        self.assertEqual(module, {n: d for n, d in packed.items()
                                  if not n.startswith(("_rels/", "package/", "[Content_Types]", "Sorvane.nuspec"))})
        self.assertIn("Sorvane64.exe", module)
        for needed in ("<id>Sorvane</id>", "<version>%s</version>" % version(), " PSEdition_Desktop PSEdition_Core Windows ",
                       "PSDscResource_SorvaneLdapSettings", "<releaseNotes>Sorvane %s." % version()):
            self.assertIn(needed, nuspec)

    def test_guide_has_crlf_line_ends_and_covers_what_a_technician_needs(self):
        guide = self.read("GUIDE.txt")
        self.assertTrue(guide.endswith(b"\r\n"))
        self.assertEqual(guide.count(b"\n"), guide.count(b"\r\n"), "no bare line feeds")
        self.assertNotIn(b"\r\r", guide)
        text = guide.decode("ascii")
        for needed in ("elevated", "Sorvane 1", "Rule One", "Rule Two",
                       "cannot read one or more", "cannot write to one",
                       "screen capture"):
            self.assertIn(needed, text)

    def test_each_exe_is_its_build_with_the_sha256_beside_it(self):
        for bits, exe in EXES.items():
            digest = hashlib.sha256(self.read(exe)).hexdigest()
            self.assertEqual(digest + "  %s\n" % exe, self.read(exe + ".sha256").decode())
            image = PeFile(os.path.join(self.folder, exe))
            self.assertEqual(MACHINE[bits], (image.machine, image.magic), exe)

    def test_exe_from_the_zip_runs_under_wine(self):
        seed()
        exe = os.path.join(self.folder, EXES[harness.BITS])
        result = subprocess.run(harness.wine_command(exe),
                                env=wine_ready(), cwd=self.folder, input=b"n\n",
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
        self.assertTranscript("terse_all_ok.txt", result.stdout)

    # What dist/ holds is proven with the signed release (test_release).
    def test_unsigned_package_says_so(self):
        self.assertIn("built UNSIGNED (no --sign)", self.output)
        exe = os.path.join(self.folder, EXES[64])
        verdict = subprocess.run(["osslsigncode", "verify", "-in", exe], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT).stdout.decode()
        self.assertIn("No signature found", verdict)


if __name__ == "__main__":
    unittest.main()
