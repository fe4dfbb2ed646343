"""The pause, the confirmation prompt and the key reader of the native build in a
real terminal: tmux gives each run its own pseudo-terminal, keys are typed
with send-keys and the screen is read back with capture-pane.

usage: terminal_test.py <fix_tamrix> <console_probe>
Exit code 0 when every check passed, 1 when one failed, 77 (skipped) when tmux
is not installed.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from tmux_pane import Pane, Checks

PAUSE = "Press any key to continue..."
PROMPT = "  Confirm (Yes/No/All yes)?  "


def run_program(checks, workdir, name, command, steps):
    """Runs `command` in a fresh pane, then `steps(pane)`, and checks that
    the terminal mode after the run equals the mode before it. Returns the
    pane's screen lines and the exit code the shell saw."""
    before = os.path.join(workdir, name + ".before")
    after = os.path.join(workdir, name + ".after")
    script = ("stty -g > %s; %s; echo \"EXIT=$?\"; stty -g > %s; echo DONE; exec sleep 600"
              % (before, command, after))
    with Pane(script) as pane:
        steps(pane)
        if not pane.wait_for(lambda lines: "DONE" in lines):
            checks.fail("%s: the run did not end; screen:\n%s" % (name, pane.screen()))
            return [], None
        lines = pane.lines()
    with open(before) as b, open(after) as a:
        checks.equal("%s: terminal mode afterwards" % name, a.read(), b.read())
    code = next((line[5:] for line in lines if line.startswith("EXIT=")), None)
    return lines, code


def lines_after(lines, marker):
    """The screen lines from the first one that begins with `marker`."""
    for i, line in enumerate(lines):
        if line.startswith(marker):
            return lines[i:]
    return ["<no line beginning %r>" % marker]


def pause_cases(checks, workdir, program):
    for name, key in [("letter", "x"), ("Enter", "Enter"), ("Up", "Up"), ("F1", "F1")]:
        log = os.path.join(workdir, "pause_%s.log" % name)

        def steps(pane, key=key, name=name):
            if not pane.wait_for_key_read(PAUSE):
                checks.fail("pause (%s): no pause in raw mode; screen:\n%s"
                            % (name, pane.screen()))
                return
            time.sleep(0.5)
            checks.true("pause (%s) waits for a key" % name,
                        not any(l.startswith("EXIT=") for l in pane.lines()))
            pane.send(key)

        lines, code = run_program(checks, workdir, "pause_" + name,
                                  "%s /L %s" % (program, log), steps)
        checks.equal("pause (%s): exit code" % name, code, "0")
        # Nothing echoed; "\n\n" after the key gives one empty line.
        checks.equal("pause (%s): lines after the prompt" % name,
                     lines_after(lines, PAUSE)[:2], [PAUSE, ""])

    # Ctrl+C ends the run with 1 right after "\n\n"; the log is not opened.
    log = os.path.join(workdir, "ctrl_c.log")

    def steps(pane):
        if pane.wait_for_key_read(PAUSE):
            pane.send("C-c")

    lines, code = run_program(checks, workdir, "ctrl_c", "%s /L %s" % (program, log), steps)
    checks.equal("Ctrl+C: exit code", code, "1")
    checks.equal("Ctrl+C: lines after the prompt", lines_after(lines, PAUSE)[:3],
                 [PAUSE, "", "EXIT=1"])
    checks.true("Ctrl+C: no log", not os.path.exists(log))


def child_pids(pane):
    """The processes that the pane's shell has started."""
    shell = pane.tmux("display-message", "-p", "-t", "t", "#{pane_pid}").strip()
    done = subprocess.run(["ps", "-o", "pid=", "--ppid", shell], stdout=subprocess.PIPE)
    return [int(pid) for pid in done.stdout.decode().split()]


def signal_cases(checks, workdir, program):
    """A signal that ends the program at the pause gives the terminal back in
    its own mode first, and the program ends as that signal ends it."""
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
        name = number.name
        modes = os.path.join(workdir, name + ".stty")

        def steps(pane, number=number, name=name):
            if not pane.wait_for_key_read(PAUSE):
                checks.fail("%s: no pause in raw mode; screen:\n%s" % (name, pane.screen()))
                return
            pids = child_pids(pane)
            checks.equal("%s: one program waits" % name, len(pids), 1)
            for pid in pids:
                os.kill(pid, number)

        # No core file from SIGQUIT; `stty -a` once the program has ended.
        command = "ulimit -c 0; %s /L %s; code=$?; stty -a > %s; (exit $code)" % (
            program, os.path.join(workdir, name + ".log"), modes)
        lines, code = run_program(checks, workdir, name, command, steps)
        checks.equal("%s: exit status" % name, code, str(128 + number))
        with open(modes) as text:
            words = set(text.read().replace(";", " ").split())
        checks.true("%s: stty -a shows icanon echo isig" % name,
                    {"icanon", "echo", "isig"} <= words)


def confirm_cases(checks, workdir, probe):
    ignored = ["q", "Enter", "Escape", "Space", "C-c", "Up", "F7", "F11", "BSpace"]

    def steps(pane):
        first = 'Deleting file "f1"...' + PROMPT
        if not pane.wait_for_key_read(first.rstrip()):
            checks.fail("confirm: no first prompt; screen:\n%s" % pane.screen())
            return
        for key in ignored:
            time.sleep(0.15)
            pane.wait_for_key_read()
            pane.send(key)
        time.sleep(0.3)
        checks.equal("confirm: ignored keys print nothing",
                     lines_after(pane.lines(), "Deleting")[:2], [first.rstrip(), ""])
        # n, Y, y and A, each at its own prompt; the fifth is not asked.
        for number, key in [(2, "n"), (3, "Y"), (4, "y")]:
            pane.send(key)
            pane.wait_for_key_read('Deleting file "f%d"...' % number)
        pane.send("A")

    lines, code = run_program(checks, workdir, "confirm", "%s confirm 5" % probe, steps)
    checks.equal("confirm: exit code", code, "0")
    checks.equal("confirm: screen", lines_after(lines, "Deleting")[:7], [
        'Deleting file "f1"...' + PROMPT + "[No]  Skipped.",
        'Deleting file "f2"...' + PROMPT + "[Yes]  Done.",
        'Deleting file "f3"...' + PROMPT + "[Yes]  Done.",
        'Deleting file "f4"...' + PROMPT + "[Yes to all prompts]  Done.",
        'Deleting file "f5"... Done.',
        "END",
        "EXIT=0"])


# Keys as tmux names them, and the codes the reader gives for them.
KEY_CODES = [
    ("a", [97]), ("Enter", [13]), ("BSpace", [8]), ("Tab", [9]), ("C-c", [3]),
    ("Escape", [27]), ("Up", [224, 72]), ("Down", [224, 80]), ("Left", [224, 75]),
    ("Right", [224, 77]), ("Home", [224, 71]), ("End", [224, 79]), ("PPage", [224, 73]),
    ("NPage", [224, 81]), ("IC", [224, 82]), ("DC", [224, 83]), ("F1", [0, 59]),
    ("F4", [0, 62]), ("F5", [0, 63]), ("F7", [0, 65]), ("F10", [0, 68]),
    ("F11", [224, 133]), ("F12", [224, 134]), ("BTab", [0, 15]), ("C-Up", [224, 72]),
]


def key_code_cases(checks, workdir, probe):
    expected = [code for _, codes in KEY_CODES for code in codes]

    def steps(pane):
        shown = 0
        for key, codes in KEY_CODES:
            if not pane.wait_for_key_read():
                checks.fail("keys: reader not waiting before %s; screen:\n%s"
                            % (key, pane.screen()))
                return
            pane.send(key)
            shown += len(codes)
            # The next key goes only to a reader that has taken this one whole
            # (Escape alone is Escape only when nothing follows it at once).
            pane.wait_for(lambda lines: sum(l.startswith("code ") for l in lines) >= shown, 10)

    lines, code = run_program(checks, workdir, "keys",
                              "%s keys %d" % (probe, len(expected)), steps)
    checks.equal("keys: exit code", code, "0")
    codes = [int(l[5:]) for l in lines if l.startswith("code ")]
    names = [key for key, codes in KEY_CODES for _ in codes]
    for name, got, want in zip(names, codes, expected):
        checks.equal("code of %s" % name, got, want)
    checks.equal("number of codes", len(codes), len(expected))


def no_terminal_case(checks, probe):
    """Without a controlling terminal the reader answers -1 at once."""
    started = time.time()
    done = subprocess.run([probe, "keys", "2"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, start_new_session=True, timeout=20)
    checks.equal("no terminal: codes", done.stdout.decode(), "code -1\ncode -1\n")
    checks.true("no terminal: at once", time.time() - started < 5)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    program, probe = sys.argv[1], sys.argv[2]
    checks = Checks()
    no_terminal_case(checks, probe)
    if shutil.which("tmux") is None:
        print("SKIPPED: tmux is not installed; the terminal cases need it")
        return checks.finish(skipped=True)
    workdir = tempfile.mkdtemp(prefix="fix_tamrix_terminal_")
    try:
        pause_cases(checks, workdir, program)
        signal_cases(checks, workdir, program)
        confirm_cases(checks, workdir, probe)
        key_code_cases(checks, workdir, probe)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return checks.finish()


sys.exit(main())
