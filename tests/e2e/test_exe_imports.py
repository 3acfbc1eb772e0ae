"""What Sorvane.exe links: the DLLs named in its import table. A console
tool's start must not load the windowing library: under Wine, user32 alone
made a whole run about 1.5 times as long as a bare console program."""

import struct
import unittest

import harness


def setUpModule():
    harness.configure_from_environment()


def imported_dlls(path):
    """The DLL names of a PE32 file's import table, in upper case."""
    with open(path, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "not a PE file"
    sections, optional_size = struct.unpack_from("<xxHxxxxxxxxxxxxH", image, pe + 4)
    optional = pe + 24
    assert struct.unpack_from("<H", image, optional)[0] == 0x10B, "not PE32"
    import_rva = struct.unpack_from("<I", image, optional + 96 + 8)[0]
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise AssertionError("RVA %#x is in no section" % rva)

    names = []
    at = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", image, at + 12)[0]
        if name_rva == 0:
            return names
        start = offset(name_rva)
        names.append(image[start:image.index(b"\0", start)].decode("ascii").upper())
        at += 20


class Imports(unittest.TestCase):
    def test_only_kernel_registry_and_c_runtime(self):
        dlls = imported_dlls(harness.EXE)
        self.assertIn("ADVAPI32.DLL", dlls)
        self.assertNotIn("USER32.DLL", dlls)
        self.assertLessEqual(set(dlls), {"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL"}, dlls)


if __name__ == "__main__":
    unittest.main()
