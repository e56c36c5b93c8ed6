"""Checks the Windows release zip: its files, the program inside it (a 32-bit
GUI program that imports only known DLLs and comctl32, with its version
resource and manifest), and that the guide quotes the program's own status
texts.

    release_test.py ZIP OBJDUMP SOURCE_DIR
"""

import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

ZIP, OBJDUMP, SOURCE_DIR = sys.argv[1:4]
# Windows loads a known DLL (its KnownDLLs list) only from the system folder,
# and comctl32.dll through the program's manifest; any other DLL the program
# imports would be looked for in the program's folder first.
KNOWN_DLLS = {"advapi32.dll", "combase.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll",
              "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll",
              "sechost.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "ws2_32.dll"}
LOADED_BY_MANIFEST = {"comctl32.dll"}


def in_exe(exe, text):
    return text.encode() in exe or text.encode("utf-16-le") in exe


class ReleaseZipTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP) as archive:
            cls.names = sorted(archive.namelist())
            cls.exe = archive.read("Norvale/Norvale.exe")
            cls.guide = archive.read("Norvale/GUIDE.txt").decode("ascii")
            cls.example = archive.read("Norvale/config.example.txt")

    def test_holds_the_program_folder_and_an_example_of_three_crlf_lines(self):
        self.assertEqual(self.names, ["Norvale/", "Norvale/GUIDE.txt", "Norvale/Norvale.exe",
                                      "Norvale/config.example.txt", "Norvale/temp/"])
        self.assertRegex(self.example, rb"^([^\r\n]*\r\n){3}$")

    def test_program_is_a_stripped_32_bit_gui_program_with_version_manifest_and_known_dlls(self):
        with tempfile.NamedTemporaryFile(suffix=".exe") as copy:
            copy.write(self.exe)
            copy.flush()
            dump = subprocess.run([OBJDUMP, "-p", "-t", copy.name], capture_output=True,
                                  text=True).stdout
        for fact in ("file format pei-i386", "(PE32)", "(Windows GUI)", "SYMBOL TABLE:\nno symbols"):
            self.assertIn(fact, dump)
        dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
        self.assertTrue(dlls and dlls <= KNOWN_DLLS | LOADED_BY_MANIFEST, dlls)
        for text in ("ProductName", "Norvale", "FileVersion", "1.0", "LegalCopyright",
                     "Microsoft.Windows.Common-Controls", "asInvoker", "dpiAware"):
            self.assertTrue(in_exe(self.exe, text), text)

    def test_guide_has_crlf_lines_and_quotes_the_programs_own_texts(self):
        self.assertNotIn("\n", self.guide.replace("\r\n", ""))
        section = self.guide.split("Status messages")[1]
        quoted = [line[2:] for line in section.split("\r\n")
                  if line.startswith("  ") and not line.startswith("   ")]
        self.assertGreaterEqual(len(quoted), 20)
        for line in quoted:
            # Angle brackets stand for values; the rest is the program's text.
            for piece in filter(str.strip, re.split(r"<[a-z]+>", line)):
                self.assertTrue(in_exe(self.exe, piece), "not a text of the program: " + piece)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
