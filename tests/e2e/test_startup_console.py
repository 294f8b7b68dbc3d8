"""Start-up as a user sees it in a real console (tmux): colours of the banner and the report,
the update warning with its yes/no prompt, and the box that turns a second instance away."""
import os
import uuid

from harness import SEAMED_EXE, ToolTestCase, main, project_version, read_log, win_path
from tmux_console import (BLUE, GREY, LIGHT_CYAN, LIGHT_GREEN, LIGHT_RED, RED, WHITE, YELLOW,
                          TmuxConsole, on)


class StartupConsoleTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)

    def console(self, exe, *args, cwd=None):
        return TmuxConsole(self, self.tmp, exe, args, height=50, cwd=cwd or self.cwd)

    def log_texts(self, exe):
        names = [n for n in os.listdir(self.cwd) if n.startswith(os.path.basename(exe) + "_")]
        self.assertEqual(len(names), 1, names)
        return [line.split("] - ", 1)[1]
                for line in read_log(os.path.join(self.cwd, names[0])).split("\r\n")[:-1]]

    def start_update_prompt(self):
        exe = self.tool_copy(source=SEAMED_EXE)
        run = self.console(exe, "--seam-missing=AddDllDirectory", win_path(self.data))
        screen = run.wait_for_prompt("[Yes / No]")
        warning = "Windows update KB2533623 is not installed in your operating system!"
        explanation = ("In some cases lack of this update may lead to security issues in "
                       "cleaner execution.")
        self.assertEqual(screen.colours_of(warning), {on(0, YELLOW)})
        self.assertEqual(screen.colours_of(explanation), {on(0, GREY)})
        self.assertEqual(screen.row_with(explanation), screen.row_with(warning) + 1)
        question = "Do you want to continue anyway?"
        self.assertEqual(screen.colours_of(question), {on(BLUE, YELLOW)})
        self.assertEqual(screen.row_with("[Yes / No]"), screen.row_with(question) + 1)
        return exe, run

    def test_UpdateMissing_AnswerNo_EndsWith10(self):
        exe, run = self.start_update_prompt()
        # "x" is not an answer: had it been a yes, the run would go on and not end with 10.
        run.send("x", "n")
        self.assertEqual(run.wait_exit(), 10)
        self.assertEqual(run.screen().colours_of("[No]"), {on(0, LIGHT_RED)})
        texts = self.log_texts(exe)
        self.assertEqual(texts[-1], "End")
        self.assertTrue(texts[-2].startswith("ERROR: "), texts[-2])
        self.assertNotIn("INFO: Looking for infected files...", texts)

    def test_UpdateMissing_AnswerYes_RunsOn(self):
        exe, run = self.start_update_prompt()
        # "x" is not an answer: had it been a no, the run would end with 10 before its last prompt.
        run.send("x", "Y")
        run.wait_for_prompt("[Press Any Key]")
        self.assertEqual(run.screen().colours_of("[Yes]"), {on(0, LIGHT_GREEN)})
        run.send("Enter")
        self.assertEqual(run.wait_exit(), 0)
        self.assertIn("INFO: 0 infected files found.", self.log_texts(exe))

    def test_BannerAndReport_InTheirColours(self):
        run = self.console(self.tool_copy(), "/n", win_path(self.data))
        screen = run.wait_for_prompt("[Press Any Key]")
        expected = [
            ("Bristoke decryptor", LIGHT_CYAN),
            ("Version: " + project_version(), WHITE),
            ("Built: Oct 24 2018", WHITE),
            ("Restores files encrypted by the Bristoke malware.", YELLOW),
            ("A backup of each encrypted file stays beside it.", YELLOW),
            ("OS: ", WHITE),
            ("Product Type: ", WHITE),
            ("WoW64: ", WHITE),
            ("Machine guid: ", WHITE),
        ]
        for text, color in expected:
            with self.subTest(text=text):
                self.assertEqual(screen.colours_of(text), {on(0, color)})
        run.send("Enter")
        self.assertEqual(run.wait_exit(), 0)

    def test_SecondInstance_RedBoxThenExit6(self):
        name = "decryptor-%s.exe" % uuid.uuid4().hex[:6]
        first = self.console(self.tool_copy(name), "/n", win_path(self.data))
        first.wait_for_prompt("[Press Any Key]")  # at its final prompt, still holding the mutex
        second_cwd = os.path.join(self.tmp, "second")
        os.makedirs(second_cwd)
        second = self.console(self.tool_copy(name), "/n", win_path(self.data), cwd=second_cwd)
        screen = second.wait_for_prompt("Another Instance Running")
        self.assertEqual(screen.colours_of("Another Instance Running"), {on(RED, YELLOW)})
        self.assertEqual(screen.colours_of("Another instance of the cleaner is already running."),
                         {on(RED, WHITE)})
        self.assertIn("[Press Any Key]", screen.rows[screen.row_with("Another instance of")])
        second.send("Enter")
        self.assertEqual(second.wait_exit(), 6)
        # Only once it has ended can the screen show that it never went on to look.
        self.assertNotIn("Looking for infected files...", "\n".join(second.screen().rows))
        first.send("Enter")
        self.assertEqual(first.wait_exit(), 0)


if __name__ == "__main__":
    main()
