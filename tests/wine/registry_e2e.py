"""The cleaner against Wine's real registry: each machine is seeded from .reg
text with reg.exe, the program runs in quiet mode, and the whole console
transcript, the log and the Run key afterwards are compared."""
import os
import re
import shutil
import tempfile

from wine_support import (Checks, run, stamps_masked, wine_command, windows_lines)

RUN = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SYSTEM = "C:\\windows\\system32"
SYSTEM_REG = SYSTEM.replace("\\", "\\\\")
SYSTEXT = "<system text>"  # Wine's texts differ from Windows': matched as any text

SCREEN = "Registry entry \"screen\"=\"%s\\Screen.scr\" in key \"%s\" was not found." % (SYSTEM, RUN)
SYS_TXT = "Registry entry \"sys\"=\"%s\\List.txt.scr\" in key \"%s\" was not found." % (SYSTEM, RUN)
SYS_480 = ("Registry entry \"sys\"=\"%s\\List480.txt.scr\" in key \"%s\" was not found."
           % (SYSTEM, RUN))
DELETED_SCREEN = "Registry value \"screen\" in key \"%s\" was deleted." % RUN
DELETED_SYS = "Registry value \"sys\" in key \"%s\" was deleted." % RUN
DELETING_SCREEN = "Deleting registry value \"screen\" in key \"%s\"... Done." % RUN
DELETING_SYS = "Deleting registry value \"sys\" in key \"%s\"... Done." % RUN
ACCESS_SCREEN = ("An error was detected while accessing registry value \"screen\" in key \"%s\": "
                 % RUN + SYSTEXT)
UNRELATED = ['"Tray"="C:\\\\Program Files\\\\Tray\\\\tray.exe"',
             '"Updater"="%s\\\\Screen.scr.bak"' % SYSTEM_REG]


def binary(text):
    return "hex:" + ",".join("%02x" % b for b in text.encode() + b"\0")


# name, Run key values (None: no Run key), console lines of the walk, log
# lines of the walk, names of the values left in the Run key, unchanged
# (None: no Run key).
CASES = [
    ("no worm", UNRELATED, [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480],
     ["Tray", "Updater"]),
    ("Run key missing", None, [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480], None),
    ("screen in mixed case with white space",
     ['"screen"=" \t%s\\\\sCrEeN.ScR  "' % SYSTEM_REG.upper()] + UNRELATED,
     [DELETING_SCREEN, SYS_TXT, SYS_480], [DELETED_SCREEN, SYS_TXT, SYS_480], ["Tray", "Updater"]),
    ("sys holding List.txt.scr", ['"sys"="%s\\\\List.txt.scr"' % SYSTEM_REG],
     [SCREEN, DELETING_SYS, SYS_480], [SCREEN, DELETED_SYS, SYS_480], []),
    ("sys holding List480.txt.scr", ['"sys"="%s\\\\List480.txt.scr"' % SYSTEM_REG],
     [SCREEN, SYS_TXT, DELETING_SYS], [SCREEN, SYS_TXT, DELETED_SYS], []),
    ("all three variants beside unrelated values",
     UNRELATED[:1] + ['"screen"="%s\\\\Screen.scr"' % SYSTEM_REG,
                      '"sys"="%s\\\\List.txt.scr"' % SYSTEM_REG] + UNRELATED[1:],
     [DELETING_SCREEN, DELETING_SYS, SYS_480], [DELETED_SCREEN, DELETED_SYS, SYS_480],
     ["Tray", "Updater"]),
    ("screen in quotes", ['"screen"="\\"%s\\\\Screen.scr\\""' % SYSTEM_REG],
     [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480], ["screen"]),
    ("screen with arguments", ['"screen"="%s\\\\Screen.scr /s"' % SYSTEM_REG],
     [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480], ["screen"]),
    ("screen in another folder", ['"screen"="C:\\\\windows\\\\Screen.scr"'],
     [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480], ["screen"]),
    ("screen as REG_BINARY", ['"screen"=' + binary(SYSTEM + "\\Screen.scr")],
     [SCREEN, SYS_TXT, SYS_480], [SCREEN, SYS_TXT, SYS_480], ["screen"]),
    ("screen longer than 268 bytes", ['"screen"="%s\\\\%s"' % (SYSTEM_REG, "S" * 300)],
     ["", ACCESS_SCREEN, SYS_TXT, SYS_480], [ACCESS_SCREEN, SYS_TXT, SYS_480], ["screen"]),
]


def pattern(lines):
    """A regular expression for lines that may hold the system-text marker."""
    text = re.escape("".join(line + "\r\n" for line in lines).encode("latin-1"))
    return text.replace(re.escape(SYSTEXT.encode()), rb"[^\r\n]+")


def seed(folder, values):
    wine_command(["reg", "delete", RUN, "/f"])
    if values is None:
        return
    path = os.path.join(folder, "seed.reg")
    with open(path, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n[%s]\n%s\n" % (RUN, "\n".join(values)))
    code, _ = wine_command(["reg", "import", "Z:" + path.replace("/", "\\")])
    if code != 0:
        raise RuntimeError("reg import failed for " + path)


def run_key_values():
    """The Run key's values as {name: "TYPE data"}, or None when the key is missing."""
    code, output = wine_command(["reg", "query", RUN])
    if code != 0:
        return None
    values = {}
    for line in output.decode("latin-1").splitlines():
        match = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
        if match:
            values[match.group(1)] = match.group(2) + " " + match.group(3)
    return values


def main():
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="fix_tamrix_registry_e2e_")
    header_end = b"/\r\n\r\n\r\n"
    try:
        for name, values, console, log_lines, left in CASES:
            seed(folder, values)
            log = os.path.join(folder, "case.log")
            if os.path.exists(log):
                os.remove(log)
            before = run_key_values()
            code, output = run(["/Q", "/L", "case.log"], cwd=folder)
            checks.equal(name + ": exit code", code, 0)
            walk = output[output.find(b"QUIET MODE\r\n\r\n\r\n") + 16:]
            checks.true(name + ": console %r" % walk,
                        re.fullmatch(pattern(console) + rb"\r\n", walk))
            with open(log, "rb") as f:
                logged = stamps_masked(f.read())
            logged = logged[logged.find(header_end) + len(header_end):]
            expected_log = ["<stamp>Quiet mode specified."] + ["<stamp>" + l for l in log_lines]
            checks.true(name + ": log %r" % logged, re.fullmatch(pattern(expected_log), logged))
            # What stays is untouched: same names, types and data as before.
            checks.equal(name + ": Run key afterwards", run_key_values(),
                         None if left is None else {k: before[k] for k in left})
    finally:
        wine_command(["reg", "delete", RUN, "/f"])
        shutil.rmtree(folder)
    checks.finish()


main()
