"""What the built exe is, read straight from its file without running it, so
the 32-bit build is inspected even where 32-bit code cannot run: its machine
type, the DLLs it imports, its manifest and its version record.

A console tool's start must not load the windowing library: under Wine,
user32 alone made a whole run about 1.5 times as long as a bare console
program."""

import os
import struct
import unittest

import harness

MACHINE = {32: (0x14C, 0x10B), 64: (0x8664, 0x20B)}  # (machine, optional header magic)
MANIFEST_ARCH = {32: "x86", 64: "amd64"}
DESCRIPTION = {32: "LDAP registry settings check and repair",
               64: "LDAP registry settings check and repair (64-bit)"}
RT_VERSION, RT_MANIFEST, VFT_APP = 16, 24, 1


def setUpModule():
    harness.configure_from_environment()


class PeFile:
    """The headers, import table and resources of a PE32 or PE32+ file."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.image = f.read()
        pe = struct.unpack_from("<I", self.image, 0x3C)[0]
        assert self.image[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, self.sections, optional_size = struct.unpack_from(
            "<HHxxxxxxxxxxxxH", self.image, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.image, optional)[0]
        self.directories = optional + (112 if self.magic == 0x20B else 96)
        self.section_table = optional + optional_size

    def directory(self, index):
        return struct.unpack_from("<I", self.image, self.directories + 8 * index)[0]

    def offset(self, rva):
        for i in range(self.sections):
            size, address, raw_size, raw = struct.unpack_from(
                "<IIII", self.image, self.section_table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise AssertionError("RVA %#x is in no section" % rva)

    def imported_dlls(self):
        """The DLL names of the import table, in upper case."""
        names = []
        at = self.offset(self.directory(1))
        while True:
            name_rva = struct.unpack_from("<I", self.image, at + 12)[0]
            if name_rva == 0:
                return names
            start = self.offset(name_rva)
            names.append(self.image[start:self.image.index(b"\0", start)].decode("ascii").upper())
            at += 20

    def resource(self, kind):
        """The bytes of the first resource of this type (first name, first language)."""
        base = self.offset(self.directory(2))
        at, wanted = base, kind
        for _level in range(3):
            named, ids = struct.unpack_from("<HH", self.image, at + 12)
            entries = [struct.unpack_from("<II", self.image, at + 16 + 8 * i)
                       for i in range(named + ids)]
            target = [to for name, to in entries if wanted is None or name == wanted]
            assert target, "no resource of type %d" % kind
            at, wanted = base + (target[0] & 0x7FFFFFFF), None
        rva, size = struct.unpack_from("<II", self.image, at)
        start = self.offset(rva)
        return self.image[start:start + size]


def version_blocks(data, at=0):
    """A version record's block at `at` as (key, value bytes, children)."""
    length, value_length, text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value = data[value_at:value_at + value_length * (2 if text else 1)]
    children, child = [], (value_at + len(value) + 3) & ~3
    while child < end:
        block = version_blocks(data, child)
        children.append(block)
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


class Inspection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = PeFile(harness.EXE)
        with open(os.path.join(harness.BUILD, "version.txt")) as f:
            cls.version = f.read().strip()

    def test_machine_type_is_the_builds(self):
        self.assertEqual(MACHINE[harness.BITS], (self.exe.machine, self.exe.magic))

    def test_only_kernel_registry_and_c_runtime(self):
        dlls = self.exe.imported_dlls()
        self.assertIn("ADVAPI32.DLL", dlls)
        self.assertNotIn("USER32.DLL", dlls)
        self.assertLessEqual(set(dlls), {"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL"}, dlls)

    def test_manifest_runs_as_the_invoker_on_the_builds_processor(self):
        manifest = self.exe.resource(RT_MANIFEST).decode("utf-8")
        self.assertIn('requestedExecutionLevel level="asInvoker"', manifest)
        self.assertNotIn("requireAdministrator", manifest)
        self.assertIn('processorArchitecture="%s"' % MANIFEST_ARCH[harness.BITS], manifest)

    def test_version_record_names_the_product_and_the_build(self):
        key, fixed, children = version_blocks(self.exe.resource(RT_VERSION))
        self.assertEqual("VS_VERSION_INFO", key)
        signature, _, file_ms, file_ls = struct.unpack_from("<IIII", fixed)
        self.assertEqual(0xFEEF04BD, signature)
        self.assertEqual(self.version, "%d.%d.%d" % (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16))
        self.assertEqual(VFT_APP, struct.unpack_from("<I", fixed, 36)[0])
        string_info = next(block for block in children if block[0] == "StringFileInfo")
        table = next(block for block in string_info[2] if block[0] == "040904E4")
        strings = {name: value.decode("utf-16-le").rstrip("\0") for name, value, _ in table[2]}
        exe_name = os.path.basename(harness.EXE)
        self.assertEqual({"ProductName": "Sorvane", "ProductVersion": self.version,
                          "FileVersion": self.version, "FileDescription": DESCRIPTION[harness.BITS],
                          "InternalName": exe_name[:-4], "OriginalFilename": exe_name}, strings)


if __name__ == "__main__":
    unittest.main()
