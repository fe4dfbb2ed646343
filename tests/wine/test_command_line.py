"""The Windows program under Wine: exit codes, whole console output and the log
for the command-line cases and for runs on a machine without the worm."""
import os
import unittest

from tests.support.e2e import (NOT_FOUND, WineTestCase, add_cases, expected_windows, read_log,
                               windows_lines)

TITLE = b"\r\n" + expected_windows("title_box.txt")
INSTRUCTIONS = expected_windows("instructions_box.txt")
USAGE = expected_windows("usage.txt")
HEADER = expected_windows("log_header.txt")
# What the registry walk reports on a machine without the worm.
CLEAN_WALK = windows_lines("".join(m + "\n" for m in NOT_FOUND))
CLEAN_LOG = b"".join(b"<stamp>" + windows_lines(m + "\n") for m in NOT_FOUND)

# id, arguments, exit code, output after the title box.
REFUSED = [
    ("usage", ["/?"], 1, USAGE),
    ("usage_after_folder", ["C:\\one", "/?"], 1, USAGE),
    ("unknown_option", ["/X"], 2, windows_lines("Invalid command-line option: /X\n")),
    ("unknown_option_after_quiet", ["/Q", "/X"], 2,
     windows_lines("Invalid command-line option: /X\n")),
    ("missing_log_path", ["-l"], 2, windows_lines("Expected parameter after \"-l\" is missing.\n")),
    ("two_folders", ["C:\\one", "C:\\two"], 2, windows_lines("Too many command-line parameters\n")),
    ("log_path_too_long", ["/L", "x" * 268], 2, windows_lines(
        "Log file path after \"/L\" is too long (at most 267 characters).\n")),
]


def quiet_run_output(before_quiet=b""):
    return (TITLE + INSTRUCTIONS + b"\r\n\r\n" + before_quiet + b"QUIET MODE\r\n"
            + b"\r\n\r\n" + CLEAN_WALK + b"\r\n")


class CommandLineTest(WineTestCase):
    def check_refused(self, args, code, message):
        actual_code, output = self.run_program(args)
        self.assertEqual(actual_code, code, "exit code")
        self.assertEqual(output, TITLE + message)

    def test_quiet_run_logs_beside_the_program(self):
        log = os.path.join(self.exe_dir, "fix_tamrix.log")
        if os.path.exists(log):
            os.remove(log)
        self.addCleanup(lambda: os.path.exists(log) and os.remove(log))
        code, output = self.run_program(["/Q"])
        self.assertEqual(code, 0, "exit code")
        self.assertEqual(output, quiet_run_output())
        self.assertEqual(read_log(log), HEADER + b"<stamp>Quiet mode specified.\r\n" + CLEAN_LOG)

    def test_folder_as_log_runs_without_a_log(self):
        code, output = self.run_program(["/q", "/L", "C:\\windows"])
        self.assertEqual(code, 0, "exit code")
        self.assertEqual(output, quiet_run_output(
            b"\r\nCould not open log file \"C:\\windows\".\r\n"))

    def test_last_log_path_wins_relative_to_current_folder(self):
        folder = self.temp_folder("fix_tamrix_e2e_")
        code, output = self.run_program(["-Q", "/L", "a.log", "/l", "b.log"], cwd=folder)
        self.assertEqual(code, 0, "exit code")
        self.assertEqual(output, quiet_run_output())
        self.assertFalse(os.path.exists(os.path.join(folder, "a.log")), "a.log written")
        self.assertEqual(read_log(os.path.join(folder, "b.log")),
                         HEADER + b"<stamp>Quiet mode specified.\r\n" + CLEAN_LOG)

    def test_pause_without_a_console(self):
        # The pause prints its texts and the run goes on.
        folder = self.temp_folder("fix_tamrix_e2e_")
        code, output = self.run_program(["/L", "c.log"], cwd=folder)
        self.assertEqual(code, 0, "exit code")
        self.assertEqual(output, TITLE + INSTRUCTIONS + b"\r\nPress any key to continue...\r\n\r\n"
                         + b"\r\n\r\n" + b"\r\n\r\n" + CLEAN_WALK + b"\r\n")


add_cases(CommandLineTest, REFUSED, CommandLineTest.check_refused)

if __name__ == "__main__":
    unittest.main()
