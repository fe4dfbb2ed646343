"""The Windows program under Wine: its title and instructions boxes compared
whole, the pause without a console, and the pause in a terminal (tmux)."""
import os
import time
import unittest

from tests.support.e2e import (WineTestCase, expected_windows, have_tmux, run_in_pane, wine_env,
                               wine_path)

BOXES = b"\r\n" + expected_windows("title_box.txt") + expected_windows("instructions_box.txt")
PAUSE = "Press any key to continue..."


class BoxesTest(WineTestCase):
    def test_quiet(self):
        folder = self.temp_folder("fix_tamrix_boxes_")
        code, output = self.run_program(["/Q", "/L", wine_path(os.path.join(folder, "quiet.log"))])
        self.assertEqual(code, 0, "exit code")
        expected = BOXES + b"\r\n\r\nQUIET MODE\r\n"
        self.assertEqual(output[:len(expected)], expected)

    def test_without_a_console(self):
        # Standard input is no console: the pause prints its texts and returns.
        folder = self.temp_folder("fix_tamrix_boxes_")
        code, output = self.run_program(
            ["/L", wine_path(os.path.join(folder, "no_console.log"))])
        self.assertEqual(code, 0, "exit code")
        expected = BOXES + b"\r\nPress any key to continue...\r\n\r\n" + b"\r\n" * 4
        self.assertEqual(output[:len(expected)], expected)
        self.assertTrue(os.path.exists(os.path.join(folder, "no_console.log")), "log written")

    @unittest.skipUnless(have_tmux(), "tmux is not installed")
    def test_pause_in_terminal(self):
        """A key at the pause lets the run go on. Ctrl+C is not tried: under
        Wine's terminal console it ends the process whatever the console mode,
        so Wine cannot deliver it to the program as the key code 3."""
        folder = self.temp_folder("fix_tamrix_boxes_")
        log = wine_path(os.path.join(folder, "terminal.log"))

        def steps(pane):
            # Wine's console keeps signals on, so only echo and line editing tell
            # that it reads keys.
            self.assertTrue(pane.wait_for_key_read(PAUSE, timeout=120, flags=("-icanon", "-echo")),
                            "the pause shows; screen:\n%s" % pane.screen())
            time.sleep(1)
            self.assertFalse(any(l.startswith("EXIT=") for l in pane.lines()),
                             "the pause waits for a key")
            pane.send("x")

        lines, code = run_in_pane(self, folder, "terminal", "%s %s /L '%s'" % (
            self.loader, self.exe, log), steps, env=wine_env())
        self.assertEqual(code, "0", "exit code")
        at = lines.index(PAUSE) if PAUSE in lines else 0
        self.assertEqual(lines[at:at + 2], [PAUSE, ""], "nothing echoed, then the empty line")
        box_lines = BOXES.decode("latin-1").split("\r\n")
        self.assertEqual(lines[:len(box_lines) - 1], box_lines[:-1], "the boxes on the screen")


if __name__ == "__main__":
    unittest.main()
