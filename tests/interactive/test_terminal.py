"""The pause, the confirmation prompt and the key reader of the native build in a
real terminal: tmux gives each run its own pseudo-terminal, keys are typed
with send-keys and the screen is read back with capture-pane.

The programs come from the environment: FIX_TAMRIX_EXE (the native program)
and FIX_TAMRIX_PROBE (console_probe, a small driver of the prompts).
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from tests.support.e2e import (add_cases, have_tmux, lines_after, require_settings, run_in_pane,
                               setting)

PAUSE = "Press any key to continue..."
PROMPT = "  Confirm (Yes/No/All yes)?  "
# Keys as tmux names them, and the codes the reader gives for them.
KEY_CODES = [
    ("a", [97]), ("Enter", [13]), ("BSpace", [8]), ("Tab", [9]), ("C-c", [3]),
    ("Escape", [27]), ("Up", [224, 72]), ("Down", [224, 80]), ("Left", [224, 75]),
    ("Right", [224, 77]), ("Home", [224, 71]), ("End", [224, 79]), ("PPage", [224, 73]),
    ("NPage", [224, 81]), ("IC", [224, 82]), ("DC", [224, 83]), ("F1", [0, 59]),
    ("F4", [0, 62]), ("F5", [0, 63]), ("F7", [0, 65]), ("F10", [0, 68]),
    ("F11", [224, 133]), ("F12", [224, 134]), ("BTab", [0, 15]), ("C-Up", [224, 72]),
]
# id, the signal sent to the program at the pause.
SIGNALS = [("signal_sigterm", signal.SIGTERM), ("signal_sighup", signal.SIGHUP),
           ("signal_sigquit", signal.SIGQUIT)]
# id, the key typed at the pause (tmux name).
PAUSE_KEYS = [("pause_letter", "x"), ("pause_enter", "Enter"), ("pause_up", "Up"),
              ("pause_f1", "F1")]


def child_pids(pane):
    """The processes that the pane's shell has started."""
    shell = pane.tmux("display-message", "-p", "-t", "t", "#{pane_pid}").strip()
    done = subprocess.run(["ps", "-o", "pid=", "--ppid", shell], stdout=subprocess.PIPE)
    return [int(pid) for pid in done.stdout.decode().split()]


class NoTerminalTest(unittest.TestCase):
    def test_reader_answers_at_once_without_a_terminal(self):
        started = time.time()
        done = subprocess.run([setting("FIX_TAMRIX_PROBE"), "keys", "2"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              start_new_session=True, timeout=20)
        self.assertEqual(done.stdout.decode(), "code -1\ncode -1\n")
        self.assertLess(time.time() - started, 5)


@unittest.skipUnless(have_tmux(), "tmux is not installed")
class TerminalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        require_settings("FIX_TAMRIX_EXE", "FIX_TAMRIX_PROBE")
        cls.program = setting("FIX_TAMRIX_EXE")
        cls.probe = setting("FIX_TAMRIX_PROBE")

    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="fix_tamrix_terminal_")
        self.addCleanup(shutil.rmtree, self.workdir, ignore_errors=True)

    def check_pause_key(self, key):
        log = os.path.join(self.workdir, "pause.log")

        def steps(pane):
            self.assertTrue(pane.wait_for_key_read(PAUSE),
                            "no pause in raw mode; screen:\n%s" % pane.screen())
            time.sleep(0.5)
            self.assertFalse(any(l.startswith("EXIT=") for l in pane.lines()),
                             "the pause waits for a key")
            pane.send(key)

        lines, code = run_in_pane(self, self.workdir, "pause", "%s /L %s" % (self.program, log),
                                  steps)
        self.assertEqual(code, "0", "exit code")
        # Nothing echoed; "\n\n" after the key gives one empty line.
        self.assertEqual(lines_after(lines, PAUSE)[:2], [PAUSE, ""])

    def test_ctrl_c_at_the_pause(self):
        # Ctrl+C ends the run with 1 right after "\n\n"; the log is not opened.
        log = os.path.join(self.workdir, "ctrl_c.log")

        def steps(pane):
            if pane.wait_for_key_read(PAUSE):
                pane.send("C-c")

        lines, code = run_in_pane(self, self.workdir, "ctrl_c", "%s /L %s" % (self.program, log),
                                  steps)
        self.assertEqual(code, "1", "exit code")
        self.assertEqual(lines_after(lines, PAUSE)[:3], [PAUSE, "", "EXIT=1"])
        self.assertFalse(os.path.exists(log), "log written")

    def check_signal(self, number):
        """A signal that ends the program at the pause gives the terminal back
        in its own mode first, and the program ends as that signal ends it."""
        name = number.name
        modes = os.path.join(self.workdir, name + ".stty")

        def steps(pane):
            self.assertTrue(pane.wait_for_key_read(PAUSE),
                            "no pause in raw mode; screen:\n%s" % pane.screen())
            pids = child_pids(pane)
            self.assertEqual(len(pids), 1, "one program waits")
            for pid in pids:
                os.kill(pid, number)

        # No core file from SIGQUIT; `stty -a` once the program has ended.
        command = "ulimit -c 0; %s /L %s; code=$?; stty -a > %s; (exit $code)" % (
            self.program, os.path.join(self.workdir, name + ".log"), modes)
        lines, code = run_in_pane(self, self.workdir, name, command, steps)
        self.assertEqual(code, str(128 + number), "exit status")
        with open(modes) as text:
            words = set(text.read().replace(";", " ").split())
        self.assertLessEqual({"icanon", "echo", "isig"}, words, "stty -a shows icanon echo isig")

    def test_confirm(self):
        ignored = ["q", "Enter", "Escape", "Space", "C-c", "Up", "F7", "F11", "BSpace"]
        first = 'Deleting file "f1"...' + PROMPT

        def steps(pane):
            self.assertTrue(pane.wait_for_key_read(first.rstrip()),
                            "no first prompt; screen:\n%s" % pane.screen())
            for key in ignored:
                time.sleep(0.15)
                pane.wait_for_key_read()
                pane.send(key)
            time.sleep(0.3)
            self.assertEqual(lines_after(pane.lines(), "Deleting")[:2], [first.rstrip(), ""],
                             "ignored keys print nothing")
            # n, Y, y and A, each at its own prompt; the fifth is not asked.
            for number, key in [(2, "n"), (3, "Y"), (4, "y")]:
                pane.send(key)
                pane.wait_for_key_read('Deleting file "f%d"...' % number)
            pane.send("A")

        lines, code = run_in_pane(self, self.workdir, "confirm", "%s confirm 5" % self.probe,
                                  steps)
        self.assertEqual(code, "0", "exit code")
        self.assertEqual(lines_after(lines, "Deleting")[:7], [
            'Deleting file "f1"...' + PROMPT + "[No]  Skipped.",
            'Deleting file "f2"...' + PROMPT + "[Yes]  Done.",
            'Deleting file "f3"...' + PROMPT + "[Yes]  Done.",
            'Deleting file "f4"...' + PROMPT + "[Yes to all prompts]  Done.",
            'Deleting file "f5"... Done.',
            "END",
            "EXIT=0"])

    def test_key_codes(self):
        expected = [code for _, codes in KEY_CODES for code in codes]

        def steps(pane):
            shown = 0
            for key, codes in KEY_CODES:
                self.assertTrue(pane.wait_for_key_read(),
                                "reader not waiting before %s; screen:\n%s" % (key, pane.screen()))
                pane.send(key)
                shown += len(codes)
                # The next key goes only to a reader that has taken this one whole
                # (Escape alone is Escape only when nothing follows it at once).
                pane.wait_for(lambda lines: sum(l.startswith("code ") for l in lines) >= shown,
                              10)

        lines, code = run_in_pane(self, self.workdir, "keys",
                                  "%s keys %d" % (self.probe, len(expected)), steps)
        self.assertEqual(code, "0", "exit code")
        codes = [int(l[5:]) for l in lines if l.startswith("code ")]
        names = [key for key, codes in KEY_CODES for _ in codes]
        for name, got, want in zip(names, codes, expected):
            self.assertEqual(got, want, "code of %s" % name)
        self.assertEqual(len(codes), len(expected), "number of codes")


add_cases(TerminalTest, PAUSE_KEYS, TerminalTest.check_pause_key)
add_cases(TerminalTest, SIGNALS, TerminalTest.check_signal)

if __name__ == "__main__":
    unittest.main()
