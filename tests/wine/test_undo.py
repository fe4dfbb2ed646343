"""The undo file under Wine, end to end: for each machine the Run key is
exported, the cleaner runs in quiet mode, the worm's values are gone and the
run's own undo file and its log lines are there; `reg import` of that file
then gives back a Run key whose export is identical to the first. An undo file
of an earlier version planted beside the program is left alone and adds
nothing. The folder cases put the program, or the /L log, into folders whose
names hold double-byte characters ending in a backslash's or a bar's byte, or
characters the code page lacks beside a folder of their best-fit spelling:
the log and the undo file must land where they should, and nowhere else, and
be shown with "?" for what the code page lacks. The undo file is named after
its log, and named on the console when there is no log.
The example logon script puts the log and the undo file in the folder it is
given."""
import os
import re
import shutil
import subprocess
import unittest
from pathlib import Path

from tests.support.e2e import (NINETY_FIVE, RUN_KEY, SCREEN, SOURCE_DIR, SYSTEM_REG, TRAY,
                               UNDO_FILE, WINDOWS_VERSION, WineTestCase, add_cases, read_log,
                               reg_file, run_key_values, seed_run_key, wine_command, wine_path)
from tests.wine.test_registry import expandable

LOGON_SCRIPT = os.path.join(SOURCE_DIR, "examples", "logon_clean.cmd")

LEGACY_UNDO = "fix_tamrix_undo.reg"
CODE_PAGE = os.environ.get("FIX_TAMRIX_CODE_PAGE") or "1252"
# The 95 family's registry is ANSI; NT 4.0's Registry Editor reads REGEDIT4 only.
ANSI_FILE = NINETY_FIVE or WINDOWS_VERSION == "nt40"


def hex_text(kind, text):
    """Text data as the system stores it (UTF-16) in hex, for a UTF-16 seed."""
    return "hex(%s):" % kind + ",".join("%02x" % b for b in text.encode("utf-16-le",
                                                                      "surrogatepass"))


WORM = "C:\\windows\\system32\\Screen.scr"
# Unrelated values of every type, which stay as they are.
EVERY_TYPE = [
    '@="default text"',
    TRAY,
    '"Count"=dword:0000002a',
    '"Blob"=hex:00,01,fe,ff',
    '"Path"=' + expandable("%TEMP%\\a.exe"),
    '"Many"=' + hex_text(7, "a\0b\0\0"),
    '"Nothing"=hex(0):',
    '"Wide"=hex(b):01,02,03,04,05,06,07,08',
    '"Q\\"uo\\\\te \xe9\xff"="\\"C:\\\\Pr\xf6gram\\\\x.exe\\" /s \xe9"',
    '"\uFF34ray \u8868"="C:\\\\\uFF34ray\\\\\u8868.exe"',
]
SYS_480 = '"sys"=" %s\\\\list480.TXT.scr\t"' % SYSTEM_REG.upper()
# The worm's text as REG_EXPAND_SZ, as the worm may write it.
SCREEN_EXPAND = '"screen"=' + expandable(WORM)
# The worm's text, its NUL, and a character: what follows the NUL decides nothing.
SCREEN_TRAILER = '"screen"=' + hex_text(1, WORM + "\0\u8868\0")

# id, Run key values, names the cleaner deletes, log path argument (None:
# the default beside the program; a path below a missing folder is
# "missing\case.log"; one on FULL_DRIVE, a full drive of its own; one that
# ends in "folder" names a folder), the
# earlier version's undo file planted beside the program (None, "regedit4",
# "unicode"), whether the undo data is saved.
CASES = [
    ("worm_beside_values_of_every_type", EVERY_TYPE[:4] + [SCREEN, SYS_480] + EVERY_TYPE[4:],
     ["screen", "sys"], "case.log", None, True),
    ("expandable_worm_data", [SCREEN_EXPAND] + EVERY_TYPE[8:], ["screen"], "case.log", None,
     True),
    ("default_log_beside_the_program", [SCREEN, EVERY_TYPE[1]], ["screen"], None, None, True),
    # Given back in the stored spelling, not the table's.
    ("stored_names_in_other_spellings",
     [SCREEN.replace("screen", "SCREEN"), SYS_480.replace("sys", "Sys")], ["SCREEN", "Sys"],
     None, None, True),
    ("a_planted_regedit4_undo_file", [SCREEN, EVERY_TYPE[1]], ["screen"], None, "regedit4",
     True),
    ("a_planted_unicode_undo_file", [SCREEN, EVERY_TYPE[1]], ["screen"], None, "unicode", True),
    ("log_folder_missing", [SYS_480, EVERY_TYPE[1]], ["sys"], "missing\\case.log", None, False),
    ("log_on_a_full_drive", [SYS_480, EVERY_TYPE[1]], ["sys"], "T:\\full.log", None, False),
    ("undo_file_named_after_its_log", [SCREEN, EVERY_TYPE[1]], ["screen"],
     "share\\PC1-alice.log", None, True),
    ("log_path_names_a_folder", [SCREEN, EVERY_TYPE[1]], ["screen"], "a_folder", None, True),
]
if CODE_PAGE == "932":
    # 150 characters, 295 bytes: the limit counts characters.
    CASES.append(("log_path_of_150_double_byte_characters", [SCREEN, EVERY_TYPE[1]], ["screen"],
                  "\u8868" * 72 + "\\" + "\u8868" * 73 + ".log", None, True))
FULL_DRIVE = "T:"
if not NINETY_FIVE:
    # On the 95 family's ANSI registry no such value exists; under Wine it
    # would, as Wine keeps UTF-16 whatever version it reports. NT 4.0 cannot
    # give the trailer back in ANSI: not saved, the worm goes all the same.
    CASES.append(("trailer_after_the_nul", [SCREEN_TRAILER, EVERY_TYPE[1]], ["screen"],
                  "case.log", None, WINDOWS_VERSION != "nt40"))

PLANTED = {kind: reg_file("\n\n[%s]\n\"Planted\"=\"C:\\\\planted.exe\"\n" % RUN_KEY,
                          kind == "unicode") for kind in ("regedit4", "unicode")}


def export_run_key(path):
    """The Run key as `reg export` writes it, or None when that fails."""
    if os.path.exists(path):
        os.remove(path)
    code, _ = wine_command(["reg", "export", RUN_KEY, wine_path(path), "/y"])
    if code != 0 or not os.path.exists(path):
        return None
    return Path(path).read_bytes()


def fill_drive(test, folder):
    """A small tmpfs at `folder`, filled up, as drive T: of the test's prefix
    until the test ends."""
    os.makedirs(folder)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder], check=True)
    test.addCleanup(subprocess.run, ["umount", folder], check=True)
    # dd writes until the drive is full.
    subprocess.run(["dd", "if=/dev/zero", "of=" + folder + "/filler"], stderr=subprocess.DEVNULL)
    test.assertEqual(os.statvfs(folder).f_bavail, 0)
    link = os.path.join(os.environ["WINEPREFIX"], "dosdevices", FULL_DRIVE.lower())
    os.symlink(folder, link)
    test.addCleanup(os.remove, link)


def files_below(folder):
    """Every file below `folder`, as paths relative to it."""
    found = set()
    for root, _, names in os.walk(folder):
        found.update(os.path.relpath(os.path.join(root, name), folder) for name in names)
    return found


class UndoCheck(WineTestCase):
    """Runs the cleaner on a seeded Run key and checks its log, its undo file
    and what importing that file gives back."""
    seeds_run_key = True

    def run_and_check(self, folder, exe, args, values, deleted, log, log_folder, saved=True,
                      shown_folder=None):
        """Seeds `values`, runs `exe` with /Q `args` in `folder`, and checks that
        `deleted` went, that `log` holds each deletion after its undo data in a
        new file in `log_folder` (shown there as `shown_folder`, bytes), and
        that importing it gives the Run key back. Returns the undo file."""
        seed_run_key(folder, values, unicode=True)
        before = export_run_key(os.path.join(folder, "before.reg"))
        self.assertTrue(before, "first export")
        old = set(os.listdir(log_folder)) if os.path.isdir(log_folder) else set()
        code, output = self.run_loader(exe, ["/Q"] + args, cwd=folder)
        self.assertEqual(code, 0, "exit code")
        left = run_key_values() or {}
        for value in deleted:
            self.assertNotIn(value, left, "deleted")
        logged = os.path.isfile(log) and os.path.getsize(log) > 0
        if not logged:
            self.assertIn(b"\r\nCould not open log file \"", output, "an empty log is said")
        elif saved:
            for word in (b"Undo", b"undo"):
                self.assertNotIn(word, output, "the console says nothing of the undo file")
        new = set(os.listdir(log_folder)) - old if os.path.isdir(log_folder) else set()
        undo_files = sorted(name for name in new if UNDO_FILE.fullmatch(name.encode()))
        # Named after the log: its name without the extension.
        base = os.path.splitext(os.path.basename(log))[0].encode(CODEC) + b"_undo_"
        if not saved:
            report = rb"\r\nUndo data could not be saved to \"[^\"\r\n]*%s\d{8}_\d{6}\.reg\": [^\r\n]+\r\n" % re.escape(base)
            self.assertRegex(output, report + re.escape(b"Deleting registry value \"" +
                                                        deleted[0].lower().encode() + b"\""))
            if os.path.exists(log):
                self.assertNotIn(b"was saved to", Path(log).read_bytes())
            self.assertTrue(len(undo_files) <= 1, undo_files)
            for name in undo_files:
                self.assertTrue(Path(log_folder, name).read_bytes(), "an empty undo file")
            return None
        self.assertEqual(len(undo_files), 1, "one new undo file: %r" % sorted(new))
        undo = os.path.join(log_folder, undo_files[0])
        self.assertTrue(undo_files[0].encode(CODEC).startswith(base), undo_files[0])
        shown = re.escape(shown_folder) if shown_folder is not None else rb"[^\"\r\n]*"
        # The log names a value as the table does (lower case); the undo file
        # as it is stored. Without a log, the console names the undo file.
        for value in (name.lower() for name in deleted):
            said = (rb"<stamp>Undo data for registry value \"%s\" in key \"%s\" was saved to "
                    rb"\"%s%s\"\.\r\n<stamp>Registry value \"%s\" in key \"%s\" was deleted\."
                    if logged else
                    rb"\r\nUndo data for registry value \"%s\" in key \"%s\" was saved to "
                    rb"\"%s%s\"\.\r\nDeleting registry value \"%s\" in key \"%s\"\.\.\. Done\.")
            self.assertRegex(read_log(log) if logged else output,
                             said % (value.encode(), re.escape(RUN_KEY.encode()), shown,
                                     re.escape(undo_files[0].encode(CODEC)), value.encode(),
                                     re.escape(RUN_KEY.encode())))
        self.assertTrue(Path(undo).read_bytes().startswith(reg_file("\n", not ANSI_FILE)),
                        "undo header")
        code, _ = wine_command(["reg", "import", wine_path(undo)])
        self.assertEqual(code, 0, "reg import of the undo file")
        self.assertEqual(export_run_key(os.path.join(folder, "after.reg")), before,
                         "the Run key came back")
        return undo


class UndoTest(UndoCheck):
    def check_case(self, values, deleted, log_arg, planted, saved):
        folder = self.temp_folder("fix_tamrix_undo_")
        program = os.path.join(folder, "program")
        exe = self.copy_program(program)
        # Below the test folder, where the drive's folder is "full".
        below = log_arg.replace(FULL_DRIVE, "full") if log_arg else None
        if below and below != log_arg:
            fill_drive(self, os.path.join(folder, "full"))
        log_folder = os.path.join(folder, os.path.dirname(below.replace("\\", "/"))) \
            if log_arg else program
        log = os.path.join(folder, below.replace("\\", "/")) if log_arg else \
            os.path.join(program, "fix_tamrix.log")
        if log_arg and not below.startswith("missing"):
            os.makedirs(log if log.endswith("folder") else log_folder, exist_ok=True)
        legacy = os.path.join(program, LEGACY_UNDO)
        if planted:
            Path(legacy).write_bytes(PLANTED[planted])
        shown = (log_arg.rpartition("\\")[0] + "\\" if "\\" in log_arg else "").encode(CODEC) \
            if log_arg else None
        self.run_and_check(folder, exe, ["/L", log_arg] if log_arg else [], values, deleted, log,
                           log_folder, saved, shown)
        if planted:
            self.assertEqual(Path(legacy).read_bytes(), PLANTED[planted],
                             "the earlier undo file is left alone")
            self.assertNotIn("Planted", run_key_values(), "nothing of it was imported")


    def check_logon_script(self):
        # A local folder stands for the share, and another for NETLOGON, where
        # the script finds the program beside itself.
        folder = self.temp_folder("fix_tamrix_logon_")
        netlogon, share = os.path.join(folder, "netlogon"), os.path.join(folder, "share")
        os.mkdir(share)
        self.copy_program(netlogon, "fix_tamrix.exe")
        shutil.copy(LOGON_SCRIPT, netlogon)
        script = wine_path(os.path.join(netlogon, os.path.basename(LOGON_SCRIPT)))
        _, names = wine_command(["cmd", "/c", "echo", "%COMPUTERNAME%-%USERNAME%"])
        log_name = names.decode("latin-1").strip() + ".log"
        self.assertNotIn("%", log_name)

        seed_run_key(folder, [SCREEN, SYS_480, EVERY_TYPE[1]], ansi=True)
        code, output = wine_command(["cmd", "/c", script, wine_path(share)])
        self.assertEqual((code, output), (0, b"fix_tamrix: the log of this run is %s\r\n"
                                          % wine_path(os.path.join(share, log_name)).encode()))
        self.assertEqual(set(run_key_values()), {"Tray"})
        listed = sorted(os.listdir(share))
        self.assertEqual(len(listed), 2, listed)
        self.assertIn(log_name, listed)
        self.assertTrue(any(UNDO_FILE.fullmatch(name.encode()) and name.startswith(
            log_name[:-len(".log")] + "_undo_") for name in listed), listed)
        logged = read_log(os.path.join(share, log_name)).decode("latin-1")
        self.assertIn("<stamp>Quiet mode specified.\r\n", logged)
        for value in ("screen", "sys"):
            self.assertIn("<stamp>Registry value \"%s\" in key \"%s\" was deleted.\r\n"
                          % (value, RUN_KEY), logged)

        # A share that cannot be reached: the script says so and runs nothing.
        seed_run_key(folder, [SCREEN])
        missing = wine_path(os.path.join(folder, "unreachable"))
        code, output = wine_command(["cmd", "/c", script, missing])
        self.assertEqual((code, output), (1, b"fix_tamrix: cannot reach the log folder %s: "
                                          b"nothing done.\r\n" % missing.encode()))
        self.assertEqual(set(run_key_values()), {"screen"})


add_cases(UndoTest, CASES, UndoTest.check_case)
if WINDOWS_VERSION is None:
    # The script is for Windows 2000 and later.
    UndoTest.test_logon_script = UndoTest.check_logon_script

# Per code page: double-byte characters whose second byte is a backslash's
# (0x5C) or a bar's (0x7C), for codec `codec`; a folder name the code page
# lacks a character of, and the ANSI spelling the system gives it (a folder
# of that name, when it can exist, stands beside it).
CODE_PAGES = {
    "932": ("cp932", ["\u8868", "\u30dd"], "caf\u00e9", b"cafe"),
    "936": ("gbk", ["\u4e57", "\u4e85"], "caf\u00e7", b"caf?"),
    "1251": ("cp1251", [], "caf\u00e9", b"cafe"),
    "1252": ("cp1252", [], "\uff41\uff42\uff43", b"abc"),
}
CODEC, DOUBLE_BYTES, UNFIT, BEST_FIT = CODE_PAGES[CODE_PAGE]

# id, folder of the program, its file name, the /L argument (relative to the
# test folder; None: the default log), the folder the log and the undo file
# must land in. "{longN}" is a folder whose Windows path has N characters:
# beyond MAX_PATH, which the NT family opens in the "\\?\" form.
FOLDER_CASES = []
for n, char in enumerate(DOUBLE_BYTES):
    FOLDER_CASES += [
        ("program_named_with_double_byte_%d" % n, "program", char + ".exe", None, "program"),
        ("program_in_double_byte_folder_%d" % n, char, None, None, char),
        ("log_path_in_double_byte_folder_%d" % n, "program", None, char + "\\x.log", char),
    ]
FOLDER_CASES += [
    ("program_in_a_folder_not_in_the_code_page", UNFIT, None, None, UNFIT),
    ("log_path_in_a_folder_not_in_the_code_page", "program", None, UNFIT + "\\x.log", UNFIT),
    ("log_path_of_265_characters", "program", None, "{long259}\\x.log", "{long259}"),
    ("program_in_a_folder_of_270_characters", "{long270}", None, None, "{long270}"),
]



class FolderTest(UndoCheck):
    def check_case(self, program_folder, exe_name, log_arg, landed):
        folder = self.temp_folder("fix_tamrix_folder_")
        long = {"long%d" % n: "L" * (n - len(wine_path(folder)) - 1) for n in (259, 270)}
        program_folder, landed = (name.format(**long) for name in (program_folder, landed))
        log_arg = log_arg.format(**long) if log_arg else None
        best_fit = BEST_FIT.decode("ascii")
        if "?" not in best_fit:
            os.mkdir(os.path.join(folder, best_fit))
        exe = self.copy_program(os.path.join(folder, program_folder), exe_name)
        os.makedirs(os.path.join(folder, landed), exist_ok=True)
        log_name = "x.log" if log_arg else "fix_tamrix.log"
        args = ["/L", wine_path(folder) + "\\" + log_arg] if log_arg else []
        # Shown in the code page, "?" where it has no such character: never
        # the best-fit spelling, the name of the folder beside it.
        shown = (wine_path(folder) + "\\").encode("ascii") + landed.encode(CODEC, "replace") + b"\\"
        undo = self.run_and_check(folder, exe, args, [SCREEN, EVERY_TYPE[1]], ["screen"],
                                  os.path.join(folder, landed, log_name),
                                  os.path.join(folder, landed), shown_folder=shown)
        expected = {os.path.relpath(exe, folder), os.path.join(landed, log_name),
                    os.path.relpath(undo, folder), "seed.reg", "before.reg", "after.reg"}
        self.assertEqual(files_below(folder), expected, "nothing lands anywhere else")


if not NINETY_FIVE:
    # The 95 family's file system takes the ANSI path as its own.
    add_cases(FolderTest, FOLDER_CASES, FolderTest.check_case)

if __name__ == "__main__":
    unittest.main()
