"""The cleaner against Wine's real registry: each machine is seeded from .reg
text with reg.exe, the program runs in quiet mode, and the whole console
transcript, the log and the Run key afterwards are compared."""
import os
import re
import subprocess
import unittest
from pathlib import Path

from tests.support.e2e import (NOT_FOUND, RUN_KEY, SCREEN, SYSTEM_FOLDER, SYSTEM_REG, TRAY,
                               UNDO_FILE, WineTestCase, add_cases, expected_windows, read_log,
                               run_key_values, seed_run_key, setting, wine_env)

SYSTEXT = "<system text>"  # Wine's texts differ from Windows': matched as any text
UNDO_SHOWN = "<undo file>"  # each run's own, named from its time

SCREEN_GONE, SYS_TXT, SYS_480 = NOT_FOUND
DELETED_SCREEN = "Registry value \"screen\" in key \"%s\" was deleted." % RUN_KEY
DELETED_SYS = "Registry value \"sys\" in key \"%s\" was deleted." % RUN_KEY
# Each deletion is logged right after its undo data, saved beside the log.
UNDO = ("Undo data for registry value \"%s\" in key \"%s\" was saved to \"" + UNDO_SHOWN + "\".")
SAVED_SCREEN = UNDO % ("screen", RUN_KEY)
SAVED_SYS = UNDO % ("sys", RUN_KEY)
DELETING_SCREEN = "Deleting registry value \"screen\" in key \"%s\"... Done." % RUN_KEY
DELETING_SYS = "Deleting registry value \"sys\" in key \"%s\"... Done." % RUN_KEY
ACCESS_SCREEN = ("An error was detected while accessing registry value \"screen\" in key \"%s\": "
                 % RUN_KEY + SYSTEXT)
UNRELATED = [TRAY, '"Updater"="%s\\\\Screen.scr.bak"' % SYSTEM_REG]
# A running worm writes its value back: the second look after the walk says so.
CAME_BACK = ["", "Registry value \"screen\" in key \"%s\" came back after it was deleted."
             % RUN_KEY, "", "A program that is running now, most likely the worm, put it back. "
             "Restart Windows in Safe Mode and run fix_tamrix again there."]


def binary(text):
    return "hex:" + ",".join("%02x" % b for b in text.encode() + b"\0")


def expandable(text):
    """REG_EXPAND_SZ data in a UTF-16 .reg text: UTF-16LE bytes, NUL included."""
    return "hex(2):" + ",".join("%02x" % b for b in (text + "\0").encode("utf-16-le"))


def text_value(name, text):
    """A .reg line setting `name` to the REG_SZ `text`."""
    return '"%s"="%s"' % (name, text.replace("\\", "\\\\").replace('"', '\\"'))


# Look-alikes of the worm's file names: the A calls read each back as the
# worm's through best-fit mapping, but Windows would start another file.
FULL_WIDTH_S = SYSTEM_FOLDER + "\\\uFF33creen.scr"
S_WITH_ACUTE = SYSTEM_FOLDER + "\\\u015Acreen.scr"
E_WITH_MACRON = SYSTEM_FOLDER + "\\Scr\u0113en.scr"
FULL_WIDTH_BACKSLASH = SYSTEM_FOLDER + "\uFF3CList.txt.scr"
UNRELATED_WIDE = text_value("Tray", "C:\\Program Files\\\uFF34ray\\tray.exe")


# id, Run key values (None: no Run key), console lines of the walk, log lines
# of the walk, names of the values left in the Run key, unchanged (None: no
# Run key), and how a stand-in for the running worm writes "screen" back
# (optional: none).
CASES = [
    ("screen_mixed_case_white_space",
     ['"screen"=" \t%s\\\\sCrEeN.ScR  "' % SYSTEM_REG.upper()] + UNRELATED,
     [DELETING_SCREEN, SYS_TXT, SYS_480], [SAVED_SCREEN, DELETED_SCREEN, SYS_TXT, SYS_480],
     ["Tray", "Updater"]),
    ("sys_txt", ['"sys"="%s\\\\List.txt.scr"' % SYSTEM_REG],
     [SCREEN_GONE, DELETING_SYS, SYS_480], [SCREEN_GONE, SAVED_SYS, DELETED_SYS, SYS_480], []),
    ("sys_480", ['"sys"="%s\\\\List480.txt.scr"' % SYSTEM_REG],
     [SCREEN_GONE, SYS_TXT, DELETING_SYS], [SCREEN_GONE, SYS_TXT, SAVED_SYS, DELETED_SYS], []),
    ("all_three_beside_unrelated",
     UNRELATED[:1] + [SCREEN, '"sys"="%s\\\\List.txt.scr"' % SYSTEM_REG] + UNRELATED[1:],
     [DELETING_SCREEN, DELETING_SYS, SYS_480],
     [SAVED_SCREEN, DELETED_SCREEN, SAVED_SYS, DELETED_SYS, SYS_480],
     ["Tray", "Updater"]),
    ("screen_exact_beside_look_alike",
     [UNRELATED_WIDE, text_value("screen", " " + SYSTEM_FOLDER.upper() + "\\sCrEeN.ScR ")],
     [DELETING_SCREEN, SYS_TXT, SYS_480], [SAVED_SCREEN, DELETED_SCREEN, SYS_TXT, SYS_480],
     ["Tray"]),
    ("screen_exact_expandable",
     [UNRELATED_WIDE, '"screen"=' + expandable(SYSTEM_FOLDER + "\\Screen.scr")],
     [DELETING_SCREEN, SYS_TXT, SYS_480], [SAVED_SCREEN, DELETED_SCREEN, SYS_TXT, SYS_480],
     ["Tray"]),
    ("screen_longer_than_268_bytes", ['"screen"="%s\\\\%s"' % (SYSTEM_REG, "S" * 300)],
     ["", ACCESS_SCREEN, SYS_TXT, SYS_480], [ACCESS_SCREEN, SYS_TXT, SYS_480], ["screen"]),
]
CASES += [("screen_written_back_" + when, [SCREEN],
           [DELETING_SCREEN, SYS_TXT, SYS_480] + CAME_BACK,
           [SAVED_SCREEN, DELETED_SCREEN, SYS_TXT, SYS_480] + CAME_BACK[1::2], ["screen"], worm)
          for when, worm in [("when_the_key_changes", "watch"), ("every_500_ms", "every")]]
# id, Run key values, names of the values left: the walk finds none of the
# worm's rows, and says so on the console and in the log.
CASES += [(case_id, values, NOT_FOUND, NOT_FOUND, left) for case_id, values, left in [
    ("no_worm", UNRELATED, ["Tray", "Updater"]),
    ("run_key_missing", None, None),
    ("screen_in_quotes", ['"screen"="\\"%s\\\\Screen.scr\\""' % SYSTEM_REG], ["screen"]),
    ("screen_with_arguments", ['"screen"="%s\\\\Screen.scr /s"' % SYSTEM_REG], ["screen"]),
    ("screen_in_another_folder", ['"screen"="C:\\\\windows\\\\Screen.scr"'], ["screen"]),
    ("screen_as_binary", ['"screen"=' + binary(SYSTEM_FOLDER + "\\Screen.scr")], ["screen"]),
    # Stored as UTF-16 (.reg text in UTF-16, as the system keeps text).
    ("screen_full_width_s", [text_value("screen", FULL_WIDTH_S)], ["screen"]),
    ("screen_s_with_acute", [text_value("screen", S_WITH_ACUTE)], ["screen"]),
    ("screen_e_with_macron", [text_value("screen", E_WITH_MACRON)], ["screen"]),
    ("sys_full_width_backslash", [text_value("sys", FULL_WIDTH_BACKSLASH)], ["sys"]),
    ("screen_look_alike_expandable", ['"screen"=' + expandable(FULL_WIDTH_S)], ["screen"]),
]]


def pattern(lines):
    """A regular expression for lines that may hold the system-text marker."""
    text = re.escape("".join(line + "\r\n" for line in lines).encode("latin-1"))
    text = text.replace(re.escape(UNDO_SHOWN.encode()), UNDO_FILE.pattern)
    return text.replace(re.escape(SYSTEXT.encode()), rb"[^\r\n]+")


class RegistryTest(WineTestCase):
    seeds_run_key = True

    def check_case(self, values, console, log_lines, left, worm=None):
        folder = self.temp_folder("fix_tamrix_registry_")
        seed_run_key(folder, values)
        before = run_key_values()
        if worm:  # at work once it says so; it stops when the file appears
            worm = subprocess.Popen([self.loader, setting("FIX_TAMRIX_WORM"), worm], cwd=folder,
                                    stdout=subprocess.PIPE, env=wine_env())
            self.addCleanup(worm.kill)
            self.assertEqual(worm.stdout.readline().strip(), b"ready")
        code, output = self.run_program(["/Q", "/L", "case.log"], cwd=folder)
        if worm:
            open(os.path.join(folder, "stop_worm"), "w").close()
            self.assertEqual(worm.wait(timeout=60), 0)
            worm.stdout.close()
        self.assertEqual(code, 0, "exit code")
        quiet = b"QUIET MODE\r\n\r\n\r\n"
        self.assertIn(quiet, output)
        walk = output[output.find(quiet) + len(quiet):]
        self.assertRegex(walk, b"^" + pattern(console) + rb"\r\n\Z")
        logged = read_log(os.path.join(folder, "case.log"))
        header = expected_windows("log_header.txt")
        self.assertEqual(logged[:len(header)], header)
        expected_log = ["<stamp>Quiet mode specified."] + ["<stamp>" + l for l in log_lines]
        self.assertRegex(logged[len(header):], b"^" + pattern(expected_log) + rb"\Z")
        # What stays is untouched: same names, types and data as before.
        self.assertEqual(run_key_values(), None if left is None else {k: before[k] for k in left})
        if worm:  # the undo file holds the value once, whatever came back
            undo, = [Path(folder, n).read_bytes() for n in os.listdir(folder)
                     if UNDO_FILE.fullmatch(n.encode())]
            text = undo.decode("utf-16" if undo.startswith(b"\xff\xfe") else "latin-1")
            self.assertEqual(text.count('"screen"='), 1, text)


add_cases(RegistryTest, CASES, RegistryTest.check_case)

if __name__ == "__main__":
    unittest.main()
