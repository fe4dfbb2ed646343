"""The Windows program under Wine: its title and instructions boxes compared
whole, the pause without a console, and the pause in a terminal (tmux)."""
import os
import shutil
import sys
import tempfile
import time

from wine_support import Checks, EXE, SOURCE_DIR, expected_text, run, wine_env

sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "interactive"))
from tmux_pane import Pane  # noqa: E402

BOXES = b"\r\n" + expected_text("title_box.txt") + expected_text("instructions_box.txt")
PAUSE = "Press any key to continue..."


def wine_path(path):
    """The Wine path of a host path (drive Z: is the host's root)."""
    return "Z:" + path.replace("/", "\\")


def start_of(output, expected):
    return output[:len(expected)]


def pause_in_terminal(checks, folder):
    """A key at the pause lets the run go on. Ctrl+C is not tried: under
    Wine's terminal console it ends the process whatever the console mode, so
    Wine cannot deliver it to the program as the key code 3."""
    log = wine_path(os.path.join(folder, "terminal.log"))
    before = os.path.join(folder, "mode.before")
    after = os.path.join(folder, "mode.after")
    script = ("stty -g > %s; wine %s /L '%s'; echo \"EXIT=$?\"; stty -g > %s; echo DONE; "
              "exec sleep 600" % (before, EXE, log, after))
    with Pane(script, env=wine_env()) as pane:
        # Wine's console keeps signals on, so only echo and line editing tell
        # that it reads keys.
        if not pane.wait_for_key_read(PAUSE, timeout=120, flags=("-icanon", "-echo")):
            checks.true("terminal: the pause shows; screen:\n%s" % pane.screen(), False)
            return
        time.sleep(1)
        checks.true("terminal: the pause waits for a key",
                    not any(l.startswith("EXIT=") for l in pane.lines()))
        pane.send("x")
        if not pane.wait_for(lambda lines: "DONE" in lines, timeout=120):
            checks.true("terminal: the run ends after the key; screen:\n%s" % pane.screen(),
                        False)
            return
        lines = pane.lines()
    checks.true("terminal: exit code 0", "EXIT=0" in lines)
    at = lines.index(PAUSE) if PAUSE in lines else 0
    checks.equal("terminal: nothing echoed, then the empty line", lines[at:at + 2], [PAUSE, ""])
    box_lines = BOXES.decode("latin-1").split("\r\n")
    checks.equal("terminal: the boxes on the screen", lines[:len(box_lines) - 1],
                  box_lines[:-1])
    with open(before) as b, open(after) as a:
        checks.equal("terminal: mode afterwards", a.read(), b.read())


def main():
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="fix_tamrix_boxes_")
    try:
        log = wine_path(os.path.join(folder, "quiet.log"))
        code, output = run(["/Q", "/L", log])
        checks.equal("exit code of /Q", code, 0)
        expected = BOXES + b"\r\n\r\nQUIET MODE\r\n"
        checks.equal("boxes of /Q", start_of(output, expected), expected)

        # Standard input is no console: the pause prints its texts and returns.
        log = wine_path(os.path.join(folder, "no_console.log"))
        code, output = run(["/L", log])
        checks.equal("exit code without a console", code, 0)
        expected = BOXES + b"\r\nPress any key to continue...\r\n\r\n" + b"\r\n" * 4
        checks.equal("boxes and pause without a console", start_of(output, expected), expected)
        checks.true("log written without a console",
                    os.path.exists(os.path.join(folder, "no_console.log")))

        if shutil.which("tmux") is None:
            print("tmux is not installed: the pause in a terminal is not tried")
        else:
            pause_in_terminal(checks, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    checks.finish()


main()
