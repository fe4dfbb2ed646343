"""Nothing passes by running nothing: no test preset without a test, no
end-to-end module without the settings it needs (it fails, naming them), no
corpus replay that did not run every input (EmptyReplayTest, fuzz builds).

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
REPLAY = os.path.join(SOURCE_DIR, "fuzz", "replay_corpus.sh")
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


def run(command, timeout=60, **options):
    """Exit code and output (stdout and stderr) of a command run without input."""
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=timeout, **options)
    return done.returncode, done.stdout.decode("latin-1")


class EmptyRunTest(unittest.TestCase):
    def check_preset(self, preset):
        folder = tempfile.mkdtemp(prefix="fix_tamrix_presets_")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(PRESETS_FILE, folder)
        rc, output = run([setting("FIX_TAMRIX_CTEST"), "--preset", preset, "-R", NO_SUCH_TEST],
                         cwd=folder)
        self.assertIn("No tests were found", output)
        self.assertNotEqual(rc, 0, "exit code of a run that found no tests:\n" + output)

    def check_module(self, module):
        env = {name: value for name, value in os.environ.items()
               if not name.startswith("FIX_TAMRIX_") and name != "WINEPREFIX"}
        rc, output = run(["python3", "-m", "unittest", module], cwd=SOURCE_DIR, env=env)
        self.assertNotEqual(rc, 0, "exit code without settings:\n" + output)
        self.assertRegex(output, r"(?m)^%s[A-Z_]+" % MISSING.replace(".", r"\."))
        self.assertRegex(output, r"(?m)^FAILED \(errors=\d+")


class EmptyReplayTest(unittest.TestCase):
    """FIX_TAMRIX_FUZZER: a fuzzer; FIX_TAMRIX_REPLAY_ARGS: the replay's first arguments."""

    def check_replay(self, shell_planting_the_corpus, rc, last):
        folder = tempfile.mkdtemp(prefix="fix_tamrix_corpus_")
        self.addCleanup(shutil.rmtree, folder)
        corpus = os.path.join(folder, "corpus")
        subprocess.run(shell_planting_the_corpus, shell=True, cwd=folder, check=True)
        got_rc, output = run([REPLAY] + setting("FIX_TAMRIX_REPLAY_ARGS").split()
                             + [setting("FIX_TAMRIX_FUZZER"), corpus, "-timeout=10"], timeout=120)
        self.assertEqual((rc, last % corpus), (got_rc, output.splitlines()[-1]), output)


NO_INPUTS = "replay_corpus: no inputs in %s (empty, missing or unreadable)"
add_cases(EmptyReplayTest, [
    ("empty_corpus", "mkdir corpus", 1, NO_INPUTS),
    ("no_corpus", "true", 1, NO_INPUTS),
    ("unreadable_input", "mkdir corpus && touch corpus/a && ln -s ../missing corpus/b", 1,
     "replay_corpus: libFuzzer executed 0 of the 2 inputs in %s (exit code 1)"),
    ("folder_as_input_read_as_a_corpus_that_32_bit_code_may_see_empty", "mkdir -p corpus/a", 1,
     "replay_corpus: libFuzzer executed 0 of the 1 inputs in %s (exit code 0)"),
    ("every_input_read", "mkdir corpus && touch corpus/a corpus/b", 0,
     "replay_corpus: executed all 2 inputs in %s"),
], EmptyReplayTest.check_replay)
add_cases(EmptyRunTest, [("preset_" + case_id(p), p) for p in test_presets()],
          EmptyRunTest.check_preset)
add_cases(EmptyRunTest, [("module_" + case_id(m), m) for m in e2e_modules()],
          EmptyRunTest.check_module)

if __name__ == "__main__":
    unittest.main()
