"""Copies of the Windows program under Wine appending to one log at the same
time, as a login script run from a network folder makes them: every header and
every line arrives, none torn or written over by another copy. A program that
keeps the log's turn lock costs a writer one wait in a run, not one a line."""
import os
import re
import subprocess
import time
import unittest
from pathlib import Path

from tests.support.e2e import NOT_FOUND, WineTestCase, expected_windows, setting, wine_env

AT_A_TIME = 8
ROUNDS = 5
PROBE_ROUNDS = 2
PROBE_LINES = 1000
HEADER = expected_windows("log_header.txt")
# What one quiet run logs on a machine without the worm, after its header.
RUN_LINES = [b"Quiet mode specified."] + [m.encode("latin-1") for m in NOT_FOUND]
LINE = re.compile(rb"\d{4}-\d{2}-\d{2}, \d{2}:\d{2}:\d{2},   ([^\r\n]*)\r\n")
TORN = b"<torn>"


def records(log):
    """The log's records in order: HEADER for a header, the message of each
    line, and TORN (then nothing more) where neither begins."""
    found, at = [], 0
    while at < len(log):
        if log.startswith(HEADER, at):
            found.append(HEADER)
            at += len(HEADER)
            continue
        line = LINE.match(log, at)
        if line is None:
            return found + [TORN + log[at:at + 160]]
        found.append(line.group(1))
        at = line.end()
    return found


class LogSharingTest(WineTestCase):
    def run_rounds(self, rounds, command, released_together=False):
        """`rounds` times AT_A_TIME copies of command(round, copy) at once;
        released together, they start writing only once all have opened the
        log (a file "go" lets them). Returns the log's records."""
        folder = self.temp_folder("fix_tamrix_shared_log_")
        log = os.path.join(folder, "shared.log")
        go = os.path.join(folder, "go")
        for round in range(rounds):
            copies = [subprocess.Popen([self.loader] + command(round, copy), cwd=folder,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, env=wine_env())
                      for copy in range(AT_A_TIME)]
            if released_together:
                end = time.time() + 60
                while (self.headers_in(log) < (round + 1) * AT_A_TIME and time.time() < end
                       and all(copy.poll() is None for copy in copies)):
                    time.sleep(0.02)
                open(go, "w").close()
            codes = [copy.wait(timeout=120) for copy in copies]
            self.assertEqual(codes, [0] * AT_A_TIME, "exit codes of round %d" % round)
            if released_together:
                os.remove(go)
        return records(Path(log).read_bytes())

    @staticmethod
    def headers_in(log):
        try:
            return Path(log).read_bytes().count(HEADER)
        except OSError:
            return 0

    def assertNothingTorn(self, found):
        torn = [r for r in found if r.startswith(TORN)]
        self.assertEqual(torn, [], "a record that is neither a header nor a whole line")

    def test_whole_runs_of_the_cleaner(self):
        found = self.run_rounds(ROUNDS, lambda round, copy: [self.exe, "/Q", "/L", "shared.log"])
        self.assertNothingTorn(found)
        runs = AT_A_TIME * ROUNDS
        counts = {record: found.count(record) for record in [HEADER] + RUN_LINES}
        self.assertEqual(counts, {record: runs for record in [HEADER] + RUN_LINES})
        self.assertEqual(len(found), runs * (1 + len(RUN_LINES)))

    def test_copies_that_only_log(self):
        # Each line told apart by its text, all copies writing at the same moment.
        probe = setting("FIX_TAMRIX_LOG_PROBE")
        found = self.run_rounds(PROBE_ROUNDS, lambda round, copy: [
            probe, "shared.log", "%d-%d" % (round, copy), str(PROBE_LINES)],
            released_together=True)
        self.assertNothingTorn(found)
        self.assertEqual(found.count(HEADER), PROBE_ROUNDS * AT_A_TIME)
        expected = sorted(
            ("copy %d-%d line %d of %d: the quick brown fox jumps over the lazy dog"
             % (round, copy, line, PROBE_LINES)).encode()
            for round in range(PROBE_ROUNDS) for copy in range(AT_A_TIME)
            for line in range(PROBE_LINES))
        lines = sorted(r for r in found if r != HEADER)
        missing = sorted(set(expected) - set(lines))
        self.assertEqual(missing[:5], [], "%d lines missing" % len(missing))
        self.assertEqual(lines, expected)

    def test_a_turn_lock_held_elsewhere(self):
        probe, lines = setting("FIX_TAMRIX_LOG_PROBE"), 20
        folder = self.temp_folder("fix_tamrix_held_lock_")
        run = lambda command: subprocess.run([self.loader] + command, cwd=folder, env=wine_env(),
                                             stdin=subprocess.DEVNULL, capture_output=True)
        # It holds the lock, then lets the writer go.
        holder = subprocess.Popen([self.loader, probe, "shared.log", "hold", "0"], cwd=folder,
                                  stdin=subprocess.DEVNULL, env=wine_env())
        self.addCleanup(holder.wait)
        self.addCleanup(holder.kill)
        writer = run([probe, "shared.log", "w", str(lines)])
        # One full wait; every record after it goes at once.
        self.assertEqual((writer.returncode, writer.stdout), (0, b"waits 2000\r\n"))
        self.assertEqual(run([self.exe, "/Q", "/L", "shared.log"]).returncode, 0)
        self.assertEqual(records(Path(folder, "shared.log").read_bytes()), [HEADER] + [
            ("copy w line %d of %d: the quick brown fox jumps over the lazy dog"
             % (line, lines)).encode() for line in range(lines)] + [HEADER] + RUN_LINES)

if __name__ == "__main__":
    unittest.main()
