"""Runs the Windows build of fix_tamrix under Wine for the end-to-end tests.

The environment comes from CTest: WINEPREFIX (a throw-away prefix that the
test fixture created), FIX_TAMRIX_EXE and FIX_TAMRIX_SOURCE_DIR.
"""
import os
import re
import subprocess
import sys

EXE = os.environ["FIX_TAMRIX_EXE"]
SOURCE_DIR = os.environ["FIX_TAMRIX_SOURCE_DIR"]
EXPECTED_DIR = os.path.join(SOURCE_DIR, "tests", "wine", "expected")
EXE_DIR = os.path.dirname(EXE)

STAMP = re.compile(rb"\d{4}-\d{2}-\d{2}, \d{2}:\d{2}:\d{2},   ")


def expected_text(name):
    """A text of tests/wine/expected, with Windows line ends."""
    with open(os.path.join(EXPECTED_DIR, name), "rb") as f:
        return f.read().replace(b"\n", b"\r\n")


def windows_lines(text):
    """The bytes the Windows C runtime writes for `text` in text mode."""
    return text.encode("latin-1").replace(b"\n", b"\r\n")


def wine_env():
    env = dict(os.environ)
    env["WINEDEBUG"] = "-all"
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    return env


def run(args, cwd=None, timeout=120):
    """Runs the program with no console input; returns (exit code, stdout bytes)."""
    done = subprocess.run(["wine", EXE] + list(args), cwd=cwd or EXE_DIR,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=wine_env(), timeout=timeout)
    return done.returncode, done.stdout


def wine_command(args, timeout=120):
    """Runs a Wine command line (e.g. reg.exe); returns (exit code, stdout)."""
    done = subprocess.run(["wine"] + list(args), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          env=wine_env(), timeout=timeout)
    return done.returncode, done.stdout


def unix_path(windows_path):
    """The host path of a Wine path such as C:\\x.log."""
    done = subprocess.run(["winepath", "-u", windows_path], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, env=wine_env(), check=True)
    return done.stdout.decode().strip()


def stamps_masked(log_bytes):
    """A log with every time stamp replaced by a fixed marker."""
    return STAMP.sub(b"<stamp>", log_bytes)


class Checks:
    """Collects failed comparisons and reports them all at the end."""

    def __init__(self):
        self.failures = 0
        self.count = 0

    def equal(self, what, actual, expected):
        self.count += 1
        if actual != expected:
            self.failures += 1
            print("FAIL: %s\n  expected: %r\n  actual:   %r" % (what, expected, actual))

    def true(self, what, condition):
        self.equal(what, bool(condition), True)

    def finish(self):
        print("%d checks, %d failed" % (self.count, self.failures))
        sys.exit(1 if self.failures or self.count == 0 else 0)
