"""The undo file under Wine, end to end: for each machine the Run key is
exported, the cleaner runs in quiet mode, the worm's values are gone and the
undo file and its log lines are there; `reg import` of the undo file then
gives back a Run key whose export is identical to the first. The example
logon script puts the log and the undo file in the folder it is given."""
import os
import re
import shutil
import unittest

from tests.support.e2e import (RUN_KEY, SOURCE_DIR, SYSTEM_FOLDER, WineTestCase, add_cases,
                               delete_run_key, run_key_values, seed_run_key, stamps_masked,
                               wine_command, wine_path)

SYSTEM_REG = SYSTEM_FOLDER.replace("\\", "\\\\")
UNDO = "fix_tamrix_undo.reg"
LOGON_SCRIPT = os.path.join(SOURCE_DIR, "examples", "logon_clean.cmd")

# Unrelated values of every type, which stay as they are.
EVERY_TYPE = [
    '@="default text"',
    '"Tray"="C:\\\\Program Files\\\\Tray\\\\tray.exe"',
    '"Count"=dword:0000002a',
    '"Blob"=hex:00,01,fe,ff',
    '"Path"=hex(2):25,54,45,4d,50,25,5c,61,2e,65,78,65,00',
    '"Many"=hex(7):61,00,62,00,00',
    '"Nothing"=hex(0):',
    '"Wide"=hex(b):01,02,03,04,05,06,07,08',
    '"Q\\"uo\\\\te \xe9\xff"="\\"C:\\\\Pr\xf6gram\\\\x.exe\\" /s \xe9"',
]
SCREEN = '"screen"="%s\\\\Screen.scr"' % SYSTEM_REG
SYS_480 = '"sys"=" %s\\\\list480.TXT.scr\t"' % SYSTEM_REG.upper()
# REG_EXPAND_SZ of "C:\windows\system32\Screen.scr", as the worm may write it.
SCREEN_EXPAND = '"screen"=hex(2):' + ",".join(
    "%02x" % b for b in b"C:\\windows\\system32\\Screen.scr\0")

# id, Run key values, names the cleaner deletes, log path argument (None:
# the default beside the program), whether a folder stands in the undo
# file's place.
CASES = [
    ("worm_beside_values_of_every_type", EVERY_TYPE[:4] + [SCREEN, SYS_480] + EVERY_TYPE[4:],
     ["screen", "sys"], "case.log", False),
    ("expandable_worm_data", [SCREEN_EXPAND] + EVERY_TYPE[8:], ["screen"], "case.log", False),
    ("default_log_beside_the_program", [SCREEN, EVERY_TYPE[1]], ["screen"], None, False),
    ("folder_in_the_undo_files_place", [SYS_480, EVERY_TYPE[1]], ["sys"], "case.log", True),
]


def export_run_key(path):
    """The Run key as `reg export` writes it, or None when that fails."""
    if os.path.exists(path):
        os.remove(path)
    code, _ = wine_command(["reg", "export", RUN_KEY, wine_path(path), "/y"])
    if code != 0 or not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


class UndoTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.addClassCleanup(delete_run_key)

    def check_case(self, values, deleted, log_arg, blocked):
        folder = self.temp_folder("fix_tamrix_undo_")
        # A copy of the program, whose default log and undo file land beside
        # the copy, never beside the build's own exe.
        program = os.path.join(folder, "program")
        os.mkdir(program)
        exe = os.path.join(program, os.path.basename(self.exe))
        shutil.copy(self.exe, exe)
        undo = os.path.join(folder if log_arg else program, UNDO)
        log = os.path.join(folder, log_arg) if log_arg else os.path.join(program, "fix_tamrix.log")
        if blocked:
            os.mkdir(undo)
        seed_run_key(folder, values, ansi=True)
        before = export_run_key(os.path.join(folder, "before.reg"))
        self.assertTrue(before, "first export")

        code, output = self.run_loader(exe, ["/Q"] + (["/L", log_arg] if log_arg else []),
                                       cwd=folder)
        self.assertEqual(code, 0, "exit code")
        left = run_key_values() or {}
        for value in deleted:
            self.assertNotIn(value, left, "deleted")
        with open(log, "rb") as f:
            logged = stamps_masked(f.read()).decode("latin-1")
        shown = re.escape(UNDO) if log_arg else r"[^\"]*\\" + re.escape(UNDO)
        if blocked:
            report = "Undo data could not be saved to \"%s\": " % UNDO
            self.assertRegex(output, re.escape(b"\r\n" + report.encode()) + rb"[^\r\n]+\r\n" +
                             re.escape(b"Deleting registry value \"sys\""))
            self.assertRegex(logged, r"<stamp>" + re.escape(report) + r"[^\r\n]+\r\n")
            self.assertNotIn("was saved to", logged)
            return
        for value in deleted:
            self.assertRegex(logged, r"<stamp>Undo data for registry value \"%s\" in key \"%s\" "
                             r"was saved to \"%s\"\.\r\n<stamp>Registry value \"%s\" in key "
                             r"\"%s\" was deleted\." % (value, re.escape(RUN_KEY), shown, value,
                                                        re.escape(RUN_KEY)))
        for word in (b"Undo", b"undo"):
            self.assertNotIn(word, output, "the console says nothing of the undo file")
        with open(undo, "rb") as f:
            self.assertTrue(f.read().startswith(b"REGEDIT4\r\n"), "undo header")
        code, _ = wine_command(["reg", "import", wine_path(undo)])
        self.assertEqual(code, 0, "reg import of the undo file")
        self.assertEqual(export_run_key(os.path.join(folder, "after.reg")), before,
                         "the Run key came back")

    def test_logon_script(self):
        # A local folder stands for the share, and another for NETLOGON, where
        # the script finds the program beside itself.
        folder = self.temp_folder("fix_tamrix_logon_")
        netlogon, share = os.path.join(folder, "netlogon"), os.path.join(folder, "share")
        os.mkdir(netlogon)
        os.mkdir(share)
        shutil.copy(LOGON_SCRIPT, netlogon)
        shutil.copy(self.exe, os.path.join(netlogon, "fix_tamrix.exe"))
        script = wine_path(os.path.join(netlogon, os.path.basename(LOGON_SCRIPT)))
        _, names = wine_command(["cmd", "/c", "echo", "%COMPUTERNAME%-%USERNAME%"])
        log_name = names.decode("latin-1").strip() + ".log"
        self.assertNotIn("%", log_name)

        seed_run_key(folder, [SCREEN, SYS_480, EVERY_TYPE[1]], ansi=True)
        code, output = wine_command(["cmd", "/c", script, wine_path(share)])
        self.assertEqual((code, output), (0, b"fix_tamrix: the log of this run is %s\r\n"
                                          % wine_path(os.path.join(share, log_name)).encode()))
        self.assertEqual(set(run_key_values()), {"Tray"})
        self.assertEqual(sorted(os.listdir(share)), sorted([log_name, UNDO]))
        with open(os.path.join(share, log_name), "rb") as f:
            logged = stamps_masked(f.read()).decode("latin-1")
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

if __name__ == "__main__":
    unittest.main()
