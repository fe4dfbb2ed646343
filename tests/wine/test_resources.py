"""What a Windows user sees of the exe besides its output: a stripped console
program with a version resource (maker, product and file name, version 1.00)
and an application manifest that asks for no elevation."""
import subprocess
import unittest

from tests.support.e2e import setting


def utf16(text):
    return text.encode("utf-16-le")


class ResourcesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = setting("FIX_TAMRIX_EXE")
        objdump = setting("FIX_TAMRIX_OBJDUMP")
        with open(cls.exe, "rb") as f:
            cls.image = f.read()
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
                            ("FileVersion", "1.00"), ("ProductVersion", "1.00")]:
            with self.subTest(name):
                at = self.image.find(utf16(name))
                self.assertGreaterEqual(at, 0, "no %s" % name)
                self.assertIn(utf16(value), self.image[at:at + 200])

    def test_manifest_asks_for_no_elevation(self):
        self.assertIn(b'requestedExecutionLevel level="asInvoker"', self.image)


if __name__ == "__main__":
    unittest.main()
