"""The cross-built GoogleTest tests of the real Windows calls under Wine: the
run passes only when GoogleTest says that every test it ran passed, never on
the exit code alone. FIX_TAMRIX_REAL_TESTS names the test program and
FIX_TAMRIX_GTEST_FILTER (optional) the tests to run; the Windows version
asked for is passed on to the tests, which check that they see it."""
import os
import re
import unittest

from tests.support.e2e import WineTestCase, setting


class RealTests(WineTestCase):
    def test_every_test_passes(self):
        program = setting("FIX_TAMRIX_REAL_TESTS")
        gtest_filter = os.environ.get("FIX_TAMRIX_GTEST_FILTER", "*")
        code, output = self.run_loader(program, ["--gtest_filter=" + gtest_filter],
                                       cwd=os.path.dirname(program), timeout=300)
        text = output.decode("latin-1").replace("\r\n", "\n")
        print(text)
        ran = re.search(r"^\[==========\] (\d+) tests? from \d+ test suites? ran\.", text, re.M)
        self.assertIsNotNone(ran, "GoogleTest did not finish")
        self.assertGreater(int(ran.group(1)), 0, "no test ran")
        self.assertRegex(text, r"(?m)^\[  PASSED  \] %s tests?\.$" % ran.group(1))
        self.assertNotIn("[  FAILED  ]", text)
        self.assertNotIn("[  SKIPPED ]", text)
        self.assertEqual(code, 0, "exit code")


if __name__ == "__main__":
    unittest.main()
