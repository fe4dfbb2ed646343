"""Nothing passes by running nothing: every test preset fails when it finds no
test to run, and every end-to-end module run without the settings it needs
fails, naming them, instead of passing with everything skipped.

The presets are checked on a copy of CMakePresets.json in a fresh folder, so
that no build folder (nor the log of a CTest run going on in it) is touched.
FIX_TAMRIX_CTEST names the ctest to run."""
import glob
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from tests.support.e2e import SOURCE_DIR, add_cases, setting

PRESETS_FILE = os.path.join(SOURCE_DIR, "CMakePresets.json")
NO_SUCH_TEST = "^no test has this name$"
# What a module that lacks a setting ends on, one line per class or test that needs it.
MISSING = "tests.support.e2e.MissingSetting: not set: "


def test_presets():
    with open(PRESETS_FILE) as f:
        return [preset["name"] for preset in json.load(f)["testPresets"]]


def e2e_modules():
    paths = (glob.glob(os.path.join(SOURCE_DIR, "tests", "wine", "test_*.py"))
             + [os.path.join(SOURCE_DIR, "tests", "wine", "real_tests.py")]
             + glob.glob(os.path.join(SOURCE_DIR, "tests", "interactive", "test_*.py")))
    return sorted(os.path.relpath(path, SOURCE_DIR)[:-3].replace(os.sep, ".") for path in paths)


def case_id(name):
    return name.replace("-", "_").replace(".", "_")


class EmptyRunTest(unittest.TestCase):
    def check_preset(self, preset):
        folder = tempfile.mkdtemp(prefix="fix_tamrix_presets_")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(PRESETS_FILE, folder)
        command = [setting("FIX_TAMRIX_CTEST"), "--preset", preset, "-R", NO_SUCH_TEST]
        done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60)
        output = done.stdout.decode("latin-1")
        self.assertIn("No tests were found", output)
        self.assertNotEqual(done.returncode, 0, "exit code of a run that found no tests:\n" + output)

    def check_module(self, module):
        env = {name: value for name, value in os.environ.items()
               if not name.startswith("FIX_TAMRIX_") and name != "WINEPREFIX"}
        done = subprocess.run(["python3", "-m", "unittest", module], cwd=SOURCE_DIR, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60)
        output = done.stdout.decode("latin-1")
        self.assertNotEqual(done.returncode, 0, "exit code without settings:\n" + output)
        self.assertRegex(output, r"(?m)^%s[A-Z_]+" % MISSING.replace(".", r"\."))
        self.assertRegex(output, r"(?m)^FAILED \(errors=\d+")


add_cases(EmptyRunTest, [("preset_" + case_id(p), p) for p in test_presets()],
          EmptyRunTest.check_preset)
add_cases(EmptyRunTest, [("module_" + case_id(m), m) for m in e2e_modules()],
          EmptyRunTest.check_module)

if __name__ == "__main__":
    unittest.main()
