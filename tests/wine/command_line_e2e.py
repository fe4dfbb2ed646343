"""The Windows program under Wine: exit codes, whole console output and the log
for the command-line cases and for runs on a machine without the worm."""
import os
import shutil
import tempfile

from wine_support import (Checks, expected_text, run, stamps_masked, unix_path,
                          windows_lines, EXE_DIR)

TITLE = b"\r\n" + expected_text("title_box.txt")
INSTRUCTIONS = expected_text("instructions_box.txt")
USAGE = windows_lines(
    "Scans for \"WORM_TAMRIX\" and removes it from the system\n\n"
    "fix_tamrix [<folder>] [/Q] [/?]\n\n"
    "    <folder>    The folder where the tool will begin scanning.\n"
    "                If unspecified, the tool will scan all local\n"
    "                hard drives.\n"
    "    /Q          Quiet mode: suppresses prompting\n"
    "    /?          Display help information\n\n")
HEADER = windows_lines(
    "\n\n/--------------------------------------------------------------\\\n"
    "|                      Vantorelkis, Inc.                       |\n"
    "|                           Log File                           |\n"
    "\\--------------------------------------------------------------/\n\n\n")
RUN_KEY = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SYSTEM = "C:\\windows\\system32"
# What the registry walk reports on a machine without the worm.
CLEAN_ROWS = [("screen", "Screen.scr"), ("sys", "List.txt.scr"), ("sys", "List480.txt.scr")]
CLEAN_MESSAGES = ["Registry entry \"%s\"=\"%s\\%s\" in key \"%s\" was not found."
                  % (name, SYSTEM, file, RUN_KEY) for name, file in CLEAN_ROWS]
CLEAN_WALK = windows_lines("".join(m + "\n" for m in CLEAN_MESSAGES))
CLEAN_LOG = b"".join(b"<stamp>" + windows_lines(m + "\n") for m in CLEAN_MESSAGES)


def quiet_run_output(before_quiet=b""):
    return (TITLE + INSTRUCTIONS + b"\r\n\r\n" + before_quiet + b"QUIET MODE\r\n"
            + b"\r\n\r\n" + CLEAN_WALK + b"\r\n")


def main():
    checks = Checks()

    for args, code, message in [
            (["/?"], 1, USAGE),
            (["C:\\one", "/?"], 1, USAGE),
            (["/X"], 2, windows_lines("Invalid command-line option: /X\n")),
            (["/Q", "/X"], 2, windows_lines("Invalid command-line option: /X\n")),
            (["-l"], 2, windows_lines("Expected parameter after \"-l\" is missing.\n")),
            (["C:\\one", "C:\\two"], 2, windows_lines("Too many command-line parameters\n")),
            (["/L", "x" * 268], 2, windows_lines(
                "Log file path after \"/L\" is too long (at most 267 characters).\n"))]:
        actual_code, output = run(args)
        checks.equal("exit code of %s" % args[:2], actual_code, code)
        checks.equal("output of %s" % args[:2], output, TITLE + message)

    # A quiet run logs beside the program.
    log = os.path.join(EXE_DIR, "fix_tamrix.log")
    if os.path.exists(log):
        os.remove(log)
    code, output = run(["/Q"])
    checks.equal("exit code of /Q", code, 0)
    checks.equal("output of /Q", output, quiet_run_output())
    with open(log, "rb") as f:
        checks.equal("log of /Q", stamps_masked(f.read()),
                     HEADER + b"<stamp>Quiet mode specified.\r\n" + CLEAN_LOG)
    os.remove(log)

    # A folder cannot be the log: the run goes on without one.
    code, output = run(["/q", "/L", "C:\\windows"])
    checks.equal("exit code of /L <folder>", code, 0)
    checks.equal("output of /L <folder>", output, quiet_run_output(
        b"\r\nCould not open log file \"C:\\windows\".\r\n"))

    # The last /L wins; a relative path is relative to the current folder.
    folder = tempfile.mkdtemp(prefix="fix_tamrix_e2e_")
    try:
        code, output = run(["-Q", "/L", "a.log", "/l", "b.log"], cwd=folder)
        checks.equal("exit code of /L a.log /L b.log", code, 0)
        checks.true("a.log not written", not os.path.exists(os.path.join(folder, "a.log")))
        with open(os.path.join(folder, "b.log"), "rb") as f:
            checks.equal("b.log", stamps_masked(f.read()),
                         HEADER + b"<stamp>Quiet mode specified.\r\n" + CLEAN_LOG)

        # Without a console the pause prints its texts and the run goes on.
        code, output = run(["/L", "c.log"], cwd=folder)
        checks.equal("exit code without a console", code, 0)
        checks.equal("output without a console", output,
                     TITLE + INSTRUCTIONS + b"\r\nPress any key to continue...\r\n\r\n"
                     + b"\r\n\r\n" + b"\r\n\r\n" + CLEAN_WALK + b"\r\n")
    finally:
        shutil.rmtree(folder)

    checks.finish()


main()
