"""A command running in a tmux pane of its own, for terminal tests: type keys
into it, read its screen back, and see whether its terminal is in raw mode.

Every pane runs on a private tmux server (its own socket, no configuration
file), so tests never touch a user's tmux nor each other.
"""
import itertools
import os
import subprocess
import sys
import time

_numbers = itertools.count()


class Pane:
    def __init__(self, command, env=None, width=100, height=90):
        self.command = command
        self.env = env
        self.size = (str(width), str(height))
        self.socket = "fix_tamrix_%d_%d" % (os.getpid(), next(_numbers))
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


class Checks:
    """Collects failed comparisons and reports them all at the end."""

    def __init__(self):
        self.failures = 0
        self.count = 0

    def fail(self, what):
        self.count += 1
        self.failures += 1
        print("FAIL: %s" % what)
        sys.stdout.flush()

    def equal(self, what, actual, expected):
        if actual != expected:
            self.fail("%s\n  expected: %r\n  actual:   %r" % (what, expected, actual))
        else:
            self.count += 1

    def true(self, what, condition):
        self.equal(what, bool(condition), True)

    def finish(self, skipped=False):
        """The exit code: 1 after a failure, 77 (skipped) when asked, else 0."""
        print("%d checks, %d failed" % (self.count, self.failures))
        if self.failures or self.count == 0:
            return 1
        return 77 if skipped else 0
