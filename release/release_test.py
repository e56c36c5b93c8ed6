"""Checks the Windows release zip: its files, the program inside it (a 32-bit
GUI program that needs only Windows' own DLLs, with its version resource and
manifest), and that the guide quotes the program's own status texts.

    release_test.py ZIP OBJDUMP SOURCE_DIR
"""

import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ZIP, OBJDUMP, SOURCE_DIR = sys.argv[1:4]

# DLLs that every Windows installation has.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
    "msvcrt.dll", "shell32.dll", "user32.dll", "ws2_32.dll", "wsock32.dll",
}
IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


def utf16(text):
    return text.encode("utf-16-le")


class ReleaseZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP) as archive:
            cls.names = sorted(archive.namelist())
            cls.exe = archive.read("Norvale/Norvale.exe")
            cls.guide = archive.read("Norvale/GUIDE.txt")
            cls.example = archive.read("Norvale/config.example.txt")

    def test_holds_the_program_folder_and_nothing_else(self):
        self.assertEqual(self.names, [
            "Norvale/", "Norvale/GUIDE.txt", "Norvale/Norvale.exe",
            "Norvale/config.example.txt", "Norvale/temp/",
        ])

    def test_program_is_a_32_bit_gui_program(self):
        pe = struct.unpack_from("<I", self.exe, 0x3C)[0]
        self.assertEqual(self.exe[pe:pe + 4], b"PE\0\0")
        machine = struct.unpack_from("<H", self.exe, pe + 4)[0]
        self.assertEqual(machine, IMAGE_FILE_MACHINE_I386)
        optional = pe + 24
        self.assertEqual(struct.unpack_from("<H", self.exe, optional)[0], 0x10B)  # PE32
        subsystem = struct.unpack_from("<H", self.exe, optional + 68)[0]
        self.assertEqual(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI)

    def test_program_imports_only_system_dlls(self):
        with tempfile.NamedTemporaryFile(suffix=".exe") as copy:
            copy.write(self.exe)
            copy.flush()
            dump = subprocess.run([OBJDUMP, "-p", copy.name], capture_output=True,
                                  text=True, check=True).stdout
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
        self.assertTrue(dlls)
        self.assertLessEqual(dlls, SYSTEM_DLLS)

    def test_program_carries_its_version_and_manifest(self):
        for text in ("ProductName", "Norvale", "FileVersion", "1.0", "LegalCopyright"):
            self.assertIn(utf16(text), self.exe, text)
        for text in (b"Microsoft.Windows.Common-Controls", b"asInvoker", b"dpiAware"):
            self.assertIn(text, self.exe, text)

    def test_example_settings_are_three_lines_and_not_the_real_file(self):
        self.assertNotIn("Norvale/config.txt", self.names)
        self.assertEqual(self.example.count(b"\r\n"), 3)
        self.assertTrue(self.example.endswith(b"\r\n"))

    def test_guide_quotes_the_programs_own_texts(self):
        guide = self.guide.decode("ascii")
        self.assertNotIn("\n", guide.replace("\r\n", ""), "guide lines end in CR LF")
        section = guide.split("Status messages")[1]
        quoted = [line[2:] for line in section.split("\r\n")
                  if line.startswith("  ") and not line.startswith("   ")]
        self.assertGreaterEqual(len(quoted), 20)
        for line in quoted:
            # Angle brackets stand for values; the rest is the program's text.
            for piece in re.split(r"<[a-z]+>", line):
                if piece.strip():
                    self.assertTrue(piece.encode() in self.exe or utf16(piece) in self.exe,
                                    "not a text of the program: " + repr(piece))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
