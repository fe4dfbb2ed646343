"""What the Windows loader checks before the program runs, read from the exe:
the 32-bit exe loads on Windows 95 (with msvcrt.dll) and NT 4.0 and later,
imports only functions those systems export (win32_imports.tsv, with the
source of each fact), and stays small; both builds are console programs,
terminal-server aware, relocatable, without a time stamp, and link the
system's printf rather than the toolchain's own. The header checksum is
right; a signed exe (--signed) ends in its certificate table, and the
signature adds at most 4 KiB.

Usage: loadable_test.py <exe> <link map> [--signed]"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_image  # noqa: E402

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "win32_imports.tsv")
ALLOWED_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"}
OLDEST_95 = {"Windows 95"}
OLDEST_NT = {"NT 3.1", "NT 3.5", "NT 3.51", "NT 4.0"}
# What the product may weigh, stripped, and signed.
SIZE_LIMIT = 32768
SIGNED_SIZE_LIMIT = 36864
# Archive members of the toolchain's own printf: their presence means some
# file was compiled with __USE_MINGW_ANSI_STDIO on.
TOOLCHAIN_PRINTF = ("pformat", "gdtoa", "_mingw_vfprintf", "_mingw_vsnprintf", "_mingw_vprintf",
                    "_mingw_printf", "_mingw_fprintf")

EXE, MAP, SIGNED = None, None, False


def ReadTable():
    """{(dll lower case, function): (oldest 95-family, oldest NT, source)}"""
    rows = {}
    with open(TABLE, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 5:
                raise ValueError("%s:%d: %d fields, not 5" % (TABLE, number, len(fields)))
            dll, function, oldest_95, oldest_nt, source = fields
            key = (dll.lower() + ".dll", function)
            if key in rows:
                raise ValueError("%s:%d: %s listed twice" % (TABLE, number, function))
            rows[key] = (oldest_95, oldest_nt, source)
    return rows


class LoadableTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.image = pe_image.read(EXE)
        cls.imports = [(dll.lower(), function)
                       for dll, functions in cls.image.imports() for function in functions]

    def test_header(self):
        image = self.image
        self.assertEqual(image.subsystem, pe_image.IMAGE_SUBSYSTEM_WINDOWS_CUI, "console")
        self.assertTrue(image.dll_characteristics & pe_image.DLL_TERMINAL_SERVER_AWARE,
                        "terminal-server aware")
        self.assertTrue(image.dll_characteristics & pe_image.DLL_DYNAMIC_BASE, "relocatable")
        self.assertGreater(image.directory(pe_image.RELOCATION_DIRECTORY)[1], 0, "relocations")
        self.assertEqual(image.time_stamp, 0, "no time stamp")
        if not image.is_64:
            self.assertEqual(image.os_version, (4, 0), "OS version")
            self.assertEqual(image.subsystem_version, (4, 0), "subsystem version")

    def test_only_system_dlls(self):
        dlls = [dll for dll, _ in self.image.imports()]
        self.assertTrue(dlls, "an import table")
        self.assertEqual([d for d in dlls if d.lower() not in ALLOWED_DLLS], [])
        self.assertEqual([f for _, f in self.imports if f.startswith("#")], [], "by ordinal")

    def test_system_printf(self):
        with open(MAP, encoding="utf-8", errors="replace") as f:
            text = f.read()
        self.assertIn("fix_tamrix_engine", text, "a link map of the program")
        self.assertEqual([name for name in TOOLCHAIN_PRINTF if name in text], [])

    def test_every_import_is_old_enough(self):
        if self.image.is_64:
            self.skipTest("64-bit Windows starts at XP x64")
        table = ReadTable()
        missing = ["%s!%s" % key for key in self.imports if key not in table]
        self.assertEqual(missing, [], "imports not in " + os.path.basename(TABLE))
        too_new = ["%s!%s: %s, %s" % (key + row[:2]) for key, row in sorted(table.items())
                   if row[0] not in OLDEST_95 or row[1] not in OLDEST_NT]
        self.assertEqual(too_new, [], "not on Windows 95 and NT 4.0")
        self.assertEqual([key for key, row in table.items() if not row[2].strip()], [],
                         "no source")
        self.assertEqual([key for key in table if key[0] not in ALLOWED_DLLS], [])

    def test_checksum(self):
        self.assertEqual(self.image.checksum, self.image.computed_checksum())

    def test_certificate_table(self):
        offset, size = self.image.directory(pe_image.CERTIFICATE_DIRECTORY)
        if not SIGNED:
            self.assertEqual((offset, size), (0, 0), "an unsigned exe has no certificate table")
            return
        self.assertGreater(size, 0, "a certificate table")
        self.assertEqual(offset % 8, 0, "the table starts on 8 bytes")
        self.assertEqual(offset + size, len(self.image.data), "the table ends the file")
        entries = self.image.certificates()
        self.assertEqual([e[:2] for e in entries], [(pe_image.WIN_CERT_REVISION_2_0,
                                                     pe_image.WIN_CERT_TYPE_PKCS_SIGNED_DATA)])
        self.assertLessEqual(entries[0][2], size)

    def test_size(self):
        if self.image.is_64:
            self.skipTest("the limit is the 32-bit product's")
        offset, size = self.image.directory(pe_image.CERTIFICATE_DIRECTORY)
        self.assertLessEqual(len(self.image.data) - size, SIZE_LIMIT, "without the signature")
        self.assertLessEqual(len(self.image.data), SIGNED_SIZE_LIMIT if SIGNED else SIZE_LIMIT)


if __name__ == "__main__":
    EXE, MAP = sys.argv[1], sys.argv[2]
    SIGNED = sys.argv[3:] == ["--signed"]
    unittest.main(argv=sys.argv[:1], verbosity=2)
