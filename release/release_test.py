"""Checks the Windows release zip: its files, the program inside it (a 32-bit
GUI program that imports only known DLLs and comctl32, with its version
resource and manifest), and that the guide quotes the program's own status
texts.

    release_test.py ZIP OBJDUMP SOURCE_DIR
"""

import glob
import itertools
import os
import re
import struct
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


# The PE32 optional header's magic and the delay-import descriptor: its
# attributes (1: the fields are addresses relative to the image), the DLL's
# name, its module handle, its import slots, its names, and three fields the
# linker leaves 0.
PE32_MAGIC = 0x10B
SECTION_HEADER_SIZE = 40
DELAY_DESCRIPTOR = struct.Struct("<8I")
RELATIVE_ADDRESSES = 1
ORDINAL_FLAG = 0x80000000
DLL_NAME = re.compile(rb"[A-Za-z0-9_]+\.dll\0", re.IGNORECASE)


def delay_import_slots(exe):
    """(DLL, function, first value of its import slot) for every delay-imported
    function of a PE32 image, read from the file's bytes, and the addresses
    the loaded image spans. MinGW's linker leaves the delay-import directory
    empty (the stubs hand their descriptor to the helper themselves), so the
    descriptors are found by their shape."""
    pe, = struct.unpack_from("<I", exe, 0x3C)
    assert exe[pe:pe + 4] == b"PE\0\0"
    sections, optional_size = struct.unpack_from("<2xH12xH", exe, pe + 4)
    optional = pe + 24
    assert struct.unpack_from("<H", exe, optional)[0] == PE32_MAGIC
    image_base, image_size = struct.unpack_from("<I24xI", exe, optional + 28)
    table = optional + optional_size
    spans = [struct.unpack_from("<8xIIII", exe, table + i * SECTION_HEADER_SIZE)
             for i in range(sections)]

    def at(rva):
        for _, address, raw_size, raw in spans:
            if raw and address <= rva < address + raw_size:
                return raw + rva - address
        return None

    def text(rva):
        start = at(rva)
        return exe[start:exe.index(b"\0", start)].decode("ascii")

    def is_descriptor(fields):
        attributes, name, handle, slot_table, name_table = fields[:5]
        return (attributes == RELATIVE_ADDRESSES and not any(fields[5:])
                and all(0 < rva < image_size for rva in (handle, slot_table, name_table))
                and at(name) is not None and DLL_NAME.match(exe, at(name)) is not None)

    slots = []
    for _, _, raw_size, raw in spans:
        for offset in range(raw, raw + raw_size - DELAY_DESCRIPTOR.size + 1, 4):
            fields = DELAY_DESCRIPTOR.unpack_from(exe, offset)
            if not is_descriptor(fields):
                continue
            dll = text(fields[1])
            for i in itertools.count():
                name, = struct.unpack_from("<I", exe, at(fields[4]) + 4 * i)
                if name == 0:
                    break
                function = "#%d" % (name & 0xFFFF) if name & ORDINAL_FLAG else text(name + 2)
                value, = struct.unpack_from("<I", exe, at(fields[3]) + 4 * i)
                slots.append((dll, function, value))
    return slots, range(image_base, image_base + image_size)


def delay_imported_functions():
    """(DLL, function) for every function the .def files of the delay-imported
    DLLs name."""
    functions = set()
    for path in glob.glob(os.path.join(SOURCE_DIR, "net", "system", "*.def")):
        with open(path) as listing:
            dll = None
            for line in listing:
                words = line.split(";")[0].split()
                if words[:1] == ["LIBRARY"]:
                    dll = words[1].lower()
                elif len(words) == 1 and words[0] != "EXPORTS":
                    functions.add((dll, words[0].split("@")[0]))
    return functions


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

    def test_every_delay_import_slot_starts_at_its_stub_inside_the_program(self):
        # A slot written as 0 sends the first call into that DLL to address 0.
        slots, image = delay_import_slots(self.exe)
        self.assertEqual({(dll.lower(), function) for dll, function, _ in slots},
                         delay_imported_functions())
        outside = ["%s!%s at %#x" % slot for slot in slots if slot[2] not in image]
        self.assertEqual(outside, [])

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
