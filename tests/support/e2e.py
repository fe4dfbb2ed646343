"""Shared support of the end-to-end tests (unittest modules under tests/wine
and tests/interactive): the expected texts, the program under Wine, and a
command in a tmux pane of its own.

The Wine tests take their setting from the environment, as CTest gives it:
  FIX_TAMRIX_EXE              the Windows program under test
  FIX_TAMRIX_WINE             the loader that runs it ("wine" picks 32 or 64 bits
                              by the exe; /usr/lib/wine/wine64 for the 64-bit one)
  FIX_TAMRIX_PROBE            a tiny program of the same build that prints a
                              known line and the Windows version it sees
  FIX_TAMRIX_WINDOWS_VERSION  optional: the Windows version Wine reports
                              (win98, nt40, winxp, win10...) for this module
  FIX_TAMRIX_CODE_PAGE        optional: the ANSI code page the probe must report
                              (Wine's follows LANG: 932 under ja_JP.UTF-8)
  WINEPREFIX                  a throw-away prefix made by the test fixture
Run one case alone from the source folder with these set, e.g.
  WINEPREFIX=... FIX_TAMRIX_EXE=... python3 -m unittest tests.wine.test_registry -k sys_480
A module run without a setting it needs fails, naming the setting.
"""
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXPECTED_DIR = os.path.join(SOURCE_DIR, "tests", "expected")

# The line the probe prints first, and the GetVersion() value Wine gives for
# each Windows version it can be told to report (measured under Wine 8.0).
PROBE_LINE = "fix_tamrix probe: Windows program running"
GET_VERSION = {"win95": 0xC0000004, "win98": 0xC0000A04, "winme": 0xC0005A04,
               "nt40": 0x05650004, "win2k": 0x08930005, "winxp": 0x0A280105,
               "win10": 0x23F00206}
# The version this module's Wine reports (None: its default), and its family.
WINDOWS_VERSION = os.environ.get("FIX_TAMRIX_WINDOWS_VERSION") or None
NINETY_FIVE = WINDOWS_VERSION in ("win95", "win98", "winme")
WINE_KEY = "HKEY_CURRENT_USER\\Software\\Wine"
RUN_KEY = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SYSTEM_FOLDER = "C:\\windows\\system32"  # Wine's, as the program reports it
SYSTEM_REG = SYSTEM_FOLDER.replace("\\", "\\\\")  # the same in .reg text
# Run key values as .reg lines: the worm's screen saver, and a program of the user's.
SCREEN = '"screen"="%s\\\\Screen.scr"' % SYSTEM_REG
TRAY = '"Tray"="C:\\\\Program Files\\\\Tray\\\\tray.exe"'
# The name of a run's undo file: its log's name, then the run's time.
UNDO_FILE = re.compile(rb"[^\\/\"\r\n]*_undo_\d{8}_\d{6}(?:_\d+)?\.reg")
# What the registry walk reports for each of the worm's rows that it does not find.
NOT_FOUND = ["Registry entry \"%s\"=\"%s\\%s\" in key \"%s\" was not found."
             % (name, SYSTEM_FOLDER, file, RUN_KEY)
             for name, file in [("screen", "Screen.scr"), ("sys", "List.txt.scr"),
                                ("sys", "List480.txt.scr")]]
STAMP = re.compile(rb"\d{4}-\d{2}-\d{2}, \d{2}:\d{2}:\d{2},   ")


def expected_text(name):
    """A file of tests/expected as text, with "\\n" line ends."""
    return Path(EXPECTED_DIR, name).read_bytes().decode("latin-1")


def windows_lines(text):
    """The bytes the Windows C runtime writes for `text` in text mode."""
    return text.encode("latin-1").replace(b"\n", b"\r\n")


def expected_windows(name):
    """A file of tests/expected as the Windows program prints it."""
    return windows_lines(expected_text(name))


def stamps_masked(log_bytes):
    """A log with every time stamp replaced by a fixed marker."""
    return STAMP.sub(b"<stamp>", log_bytes)


def read_log(path):
    """The log at `path` with its time stamps masked."""
    return stamps_masked(Path(path).read_bytes())


def wine_path(path):
    """The Wine path of a host path (drive Z: is the host's root)."""
    return "Z:" + path.replace("/", "\\")


class MissingSetting(Exception):
    """Settings a module needs are not in the environment: an error, never a
    skip, so that a run without them cannot pass by running nothing."""


def require_settings(*names):
    """Fails, naming in one line every one of `names` that is not set."""
    missing = [name for name in names if not os.environ.get(name)]
    if missing:
        raise MissingSetting("not set: %s (run the module through CTest, or set these as "
                             "tests/support/e2e.py and the module say)" % ", ".join(missing))


def setting(name):
    """The value of the setting `name`; fails when it is not set."""
    require_settings(name)
    return os.environ[name]


def wine_env():
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    return env


def run_wine(loader, args, cwd=None, timeout=120):
    """(exit code, stdout, stderr) of `args` run by Wine's `loader`, with no console input."""
    done = subprocess.run([loader] + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(),
                          timeout=timeout)
    return done.returncode, done.stdout, done.stderr


def wine_command(args):
    """(exit code, stdout) of a Wine command line (e.g. reg.exe) under 64-bit Wine, which sees
    what 32-bit programs see and starts far faster under emulation. It now and then ends reg.exe
    with 1 and no word, where reg's own failures say why: such a run is run again, up to twice."""
    for attempt in range(3):
        code, output, errors = run_wine("/usr/lib/wine/wine64", args)
        if code == 0 or output or errors or attempt == 2:
            return code, output
        sys.stderr.write("wine64 %s exited %d and printed nothing; running it again\n"
                         % (" ".join(args), code))


def set_windows_version(version):
    """Makes Wine report `version` to programs started from now on (None: its
    default)."""
    args = (["reg", "delete", WINE_KEY, "/v", "Version", "/f"] if version is None else
            ["reg", "add", WINE_KEY, "/v", "Version", "/t", "REG_SZ", "/d", version, "/f"])
    code, output = wine_command(args)
    if version is not None and code != 0:
        raise RuntimeError("cannot set the Windows version %s: %r" % (version, output))


def delete_run_key():
    wine_command(["reg", "delete", RUN_KEY, "/f"])


def reg_file(rest, unicode=True):
    """The bytes of a .reg file: its first line, then `rest` from that line's
    break on, each "\n" a CR LF; version 5.00 in UTF-16 behind FF FE, as the
    system exports it, or (not `unicode`) REGEDIT4 in Latin-1."""
    text = ("Windows Registry Editor Version 5.00" if unicode else "REGEDIT4") + rest
    text = text.replace("\n", "\r\n")
    return b"\xff\xfe" + text.encode("utf-16-le") if unicode else text.encode("latin-1")


def seed_run_key(folder, values, ansi=False, unicode=False):
    """Replaces the Run key with `values`, lines of .reg text (None: no Run
    key), through reg.exe and a file in `folder`. The file is a REGEDIT4 text
    in Latin-1, the ANSI code page, when `ansi` is set or every line is ASCII
    without hex(2) data (and `unicode` is not set); otherwise a version 5.00
    text in UTF-16, as the system keeps text (only such a text reads hex(2)
    bytes as UTF-16)."""
    delete_run_key()
    if values is None:
        return
    path = os.path.join(folder, "seed.reg")
    body = "[%s]\n%s\n" % (RUN_KEY, "\n".join(values))
    ansi = ansi or (not unicode and body.isascii() and "hex(2):" not in body)
    Path(path).write_bytes(reg_file("\n\n" + body, not ansi))
    code, _ = wine_command(["reg", "import", wine_path(path)])
    if code != 0:
        raise RuntimeError("reg import failed for " + path)


def run_key_values():
    """The Run key's values as `reg query` lists them, {name: "TYPE data"}, or
    None when the key is missing."""
    code, output = wine_command(["reg", "query", RUN_KEY])
    if code != 0:
        return None
    values = {}
    for line in output.decode("latin-1").splitlines():
        match = re.match(r"^    (.*?)    (REG_\w+)(?: {3,4}(.*))?$", line)
        if match:
            values[match.group(1)] = match.group(2) + " " + (match.group(3) or "")
    return values


class WineTestCase(unittest.TestCase):
    """Runs the Windows program of one build under Wine. Before the first test
    it checks that the loader really runs a program of that build (a loader
    without its 32-bit half exits 0 and prints nothing) and, when a Windows
    version or a code page is asked for, that the program sees it. A class
    whose tests seed the Run key sets seeds_run_key: it is deleted after them."""
    seeds_run_key = False

    @classmethod
    def setUpClass(cls):
        # Never the user's own prefix: the tests rewrite its registry.
        require_settings("FIX_TAMRIX_EXE", "WINEPREFIX")
        cls.exe = setting("FIX_TAMRIX_EXE")
        cls.exe_dir = os.path.dirname(cls.exe)
        cls.loader = os.environ.get("FIX_TAMRIX_WINE", "wine")
        cls.windows_version = WINDOWS_VERSION
        cls.code_page = os.environ.get("FIX_TAMRIX_CODE_PAGE") or None
        if cls.code_page is not None and not os.environ.get("FIX_TAMRIX_PROBE"):
            raise AssertionError("code page %s asked for, but no probe to check it"
                                 % cls.code_page)
        if cls.windows_version is not None:
            set_windows_version(cls.windows_version)
            cls.addClassCleanup(set_windows_version, None)
        if cls.seeds_run_key:
            cls.addClassCleanup(delete_run_key)
        probe = os.environ.get("FIX_TAMRIX_PROBE")
        if probe:
            code, output = cls.run_loader(probe, [])
            lines = output.decode("latin-1").splitlines()
            if lines[:1] != [PROBE_LINE]:
                raise AssertionError("%s did not run the probe %s (exit code %d, output %r)"
                                     % (cls.loader, probe, code, output))
            wants = []
            if cls.windows_version is not None:
                wants.append("GetVersion 0x%08X" % GET_VERSION[cls.windows_version])
            if cls.code_page is not None:
                wants.append("GetACP %s" % cls.code_page)
            for want in wants:
                if want not in lines:
                    raise AssertionError("Wine does not report %r: probe printed %r"
                                         % (want, lines))

    @classmethod
    def run_loader(cls, program, args, cwd=None, timeout=120):
        return run_wine(cls.loader, [program] + list(args), cwd, timeout)[:2]

    def run_program(self, args, cwd=None, timeout=120):
        """Runs the program with no console input, in `cwd` (default: its own
        folder); returns (exit code, stdout bytes)."""
        return self.run_loader(self.exe, args, cwd=cwd or self.exe_dir, timeout=timeout)

    def copy_program(self, folder, name=None):
        """A copy of the program in `folder` (created), whose default log and
        undo file land beside the copy, never beside the build's own exe."""
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, name or os.path.basename(self.exe))
        shutil.copy(self.exe, exe)
        return exe

    def temp_folder(self, prefix="fix_tamrix_"):
        """A fresh folder removed again after the test."""
        folder = tempfile.mkdtemp(prefix=prefix)
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return folder


def add_cases(cls, cases, check):
    """Adds one test method test_<id> to `cls` per case: (id, case...) tuples,
    each checked by check(self, *case)."""
    for case in cases:
        def method(self, case=case):
            check(self, *case[1:])
        method.__name__ = "test_" + case[0]
        method.__doc__ = None
        setattr(cls, method.__name__, method)


# --- A command in a tmux pane --------------------------------------------------

def have_tmux():
    return shutil.which("tmux") is not None


_pane_numbers = itertools.count()


class Pane:
    """A command running in a tmux pane of its own: type keys into it, read its
    screen back, and see whether its terminal is in raw mode. Every pane runs
    on a private tmux server (its own socket, no configuration file), so tests
    never touch a user's tmux nor each other."""

    def __init__(self, command, env=None, width=100, height=90):
        self.command = command
        self.env = env
        self.size = (str(width), str(height))
        self.socket = "fix_tamrix_%d_%d" % (os.getpid(), next(_pane_numbers))
        self.tty = None
        self.socket_path = None

    def tmux(self, *args, check=True):
        done = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=self.env, timeout=30, check=check)
        return done.stdout.decode("latin-1")

    def __enter__(self):
        self.tmux("new-session", "-d", "-s", "t", "-x", self.size[0], "-y", self.size[1],
                  self.command)
        self.tty = self.tmux("display-message", "-p", "-t", "t", "#{pane_tty}").strip()
        self.socket_path = self.tmux("display-message", "-p", "#{socket_path}").strip()
        return self

    def __exit__(self, *exc):
        self.tmux("kill-server", check=False)
        # The server leaves its socket file behind.
        if self.socket_path:
            try:
                os.remove(self.socket_path)
            except OSError:
                pass
        return False

    def lines(self):
        """The screen and its history, one string per line, trailing blanks cut."""
        text = self.tmux("capture-pane", "-p", "-t", "t", "-S", "-", "-E", "-")
        return [line.rstrip() for line in text.split("\n")]

    def screen(self):
        return "\n".join(self.lines()).rstrip()

    def send(self, key):
        """Types one key, named as tmux names it ("x", "Enter", "Up", "C-c")."""
        self.tmux("send-keys", "-t", "t", key)

    def is_raw(self, flags=("-icanon", "-echo", "-isig")):
        """True while the pane's terminal has all of `flags` (by default echo,
        line editing and signals off)."""
        done = subprocess.run(["stty", "-F", self.tty, "-a"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
        words = set(done.stdout.decode().replace(";", " ").split())
        return set(flags) <= words

    def wait_for(self, predicate, timeout=30):
        """Waits until predicate(lines) holds; False when it never did."""
        end = time.time() + timeout
        while time.time() < end:
            if predicate(self.lines()):
                return True
            time.sleep(0.05)
        return False

    def wait_for_key_read(self, marker=None, timeout=30, flags=("-icanon", "-echo", "-isig")):
        """Waits until a line holds `marker` (if given) and the terminal is raw,
        that is, until the program waits for a key, so a key typed now cannot
        be echoed or turned into a signal by the terminal."""
        return self.wait_for(
            lambda lines: ((marker is None or any(marker in l for l in lines))
                           and self.is_raw(flags)), timeout)


def run_in_pane(test, workdir, name, command, steps, env=None):
    """Runs `command` in a fresh pane, then `steps(pane)`, and checks that the
    terminal mode after the run equals the mode before it. Returns the pane's
    screen lines and the exit code the shell saw (a string; None if the run
    did not end)."""
    before = os.path.join(workdir, name + ".before")
    after = os.path.join(workdir, name + ".after")
    # A console host (Wine's) gives the terminal back a moment after the
    # program has ended: the mode afterwards is taken once it is back, or
    # after 5 seconds.
    script = ("stty -g > %s; %s; echo \"EXIT=$?\"; for i in $(seq 50); do "
              "[ \"$(stty -g)\" = \"$(cat %s)\" ] && break; sleep 0.1; done; "
              "stty -g > %s; echo DONE; exec sleep 600" % (before, command, before, after))
    with Pane(script, env=env) as pane:
        steps(pane)
        if not pane.wait_for(lambda lines: "DONE" in lines, timeout=120):
            test.fail("%s: the run did not end; screen:\n%s" % (name, pane.screen()))
        lines = pane.lines()
    with open(before) as b, open(after) as a:
        test.assertEqual(a.read(), b.read(), "%s: terminal mode afterwards" % name)
    code = next((line[5:] for line in lines if line.startswith("EXIT=")), None)
    return lines, code


def lines_after(lines, marker):
    """The screen lines from the first one that begins with `marker`."""
    for i, line in enumerate(lines):
        if line.startswith(marker):
            return lines[i:]
    return ["<no line beginning %r>" % marker]
