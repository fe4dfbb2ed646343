"""What a Windows user sees of the exe besides its output: a stripped console
program with a version resource (maker, product and file name, and the
project's version in its text and its binary fields) and an application
manifest that carries the same version and asks for no elevation."""
import re
import struct
import subprocess
import unittest
from pathlib import Path

from tests.support.e2e import setting


def utf16(text):
    return text.encode("utf-16-le")


def version_numbers(version):
    """The four numbers of the binary version fields: "1.00" is (1, 0, 0, 0)."""
    numbers = [int(part) for part in version.split(".")]
    return tuple(numbers + [0] * (4 - len(numbers)))


class ResourcesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = setting("FIX_TAMRIX_EXE")
        cls.version = setting("FIX_TAMRIX_VERSION")
        objdump = setting("FIX_TAMRIX_OBJDUMP")
        cls.image = Path(cls.exe).read_bytes()
        cls.headers = subprocess.run([objdump, "-p", cls.exe], stdout=subprocess.PIPE,
                                     check=True).stdout.decode()
        cls.symbols = subprocess.run([objdump, "-t", cls.exe], stdout=subprocess.PIPE,
                                     check=True).stdout.decode()

    def test_console_program(self):
        self.assertIn("(Windows CUI)", self.headers)

    def test_stripped(self):
        self.assertIn("no symbols", self.symbols)

    def test_version_resource(self):
        for name, value in [("CompanyName", "Vantorelkis, Inc."), ("ProductName", "fix_tamrix"),
                            ("InternalName", "fix_tamrix"),
                            ("OriginalFilename", "fix_tamrix.exe"),
                            ("FileVersion", self.version),
                            ("ProductVersion", self.version)]:
            with self.subTest(name):
                at = self.image.find(utf16(name))
                self.assertGreaterEqual(at, 0, "no %s" % name)
                self.assertIn(utf16(value), self.image[at:at + 200])

    def test_binary_version_fields(self):
        # VS_FIXEDFILEINFO: signature, structure version, then the file and
        # the product version, each as two 32-bit halves of two 16-bit numbers.
        at = self.image.find(struct.pack("<I", 0xFEEF04BD))
        self.assertGreaterEqual(at, 0, "no VS_FIXEDFILEINFO")
        halves = struct.unpack_from("<4I", self.image, at + 8)
        numbers = tuple(half >> shift & 0xFFFF for half in halves for shift in (16, 0))
        self.assertEqual(numbers, version_numbers(self.version) * 2)

    def test_manifest(self):
        self.assertIn(b'requestedExecutionLevel level="asInvoker"', self.image)
        identity = re.search(rb'<assemblyIdentity [^>]*version="([0-9.]*)"', self.image)
        self.assertIsNotNone(identity, "no assembly identity")
        self.assertEqual(identity.group(1).decode(),
                         ".".join(str(n) for n in version_numbers(self.version)))


if __name__ == "__main__":
    unittest.main()
