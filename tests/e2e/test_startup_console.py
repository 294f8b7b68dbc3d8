"""Start-up as a user sees it in a real console (tmux): colours of the banner and the report,
the update warning with its yes/no prompt, and the box that turns a second instance away."""
import os
import re
import shlex
import subprocess
import time
import unittest
import uuid

from harness import SEAMED_EXE, SOURCE, ToolTestCase, main, read_log, wine_env, win_path

with open(os.path.join(SOURCE, "src", "logging", "console_handler.cpp")) as _source:
    REAL_CONSOLE = "WriteConsoleOutputW" in _source.read()
needs_console = unittest.skipUnless(
    REAL_CONSOLE, "needs the real console handler (branch console): the stand-in in this tree "
                  "prints plain text and answers every prompt by itself")

# Console attributes: foreground | background << 4.
WHITE, LIGHT_GREEN, LIGHT_CYAN, LIGHT_RED, YELLOW, GREY = 15, 10, 11, 12, 14, 7
BLUE, RED = 1, 4
SGR = re.compile(r"\x1b\[([0-9;]*)m")


def windows_color(ansi):
    """ANSI colour number 0-7 (red 1, green 2, blue 4) as a console colour (blue 1, red 4)."""
    return (ansi & 2) | (ansi & 1) << 2 | (ansi & 4) >> 2


def parse_screen(text):
    """Rows of (character, foreground, background) from `tmux capture-pane -e` output."""
    rows = []
    fg, bg = GREY, 0
    for line in text.split("\n"):
        row, pos = [], 0
        for match in SGR.finditer(line):
            row += [(c, fg, bg) for c in line[pos:match.start()]]
            pos = match.end()
            params = [int(p) if p else 0 for p in match.group(1).split(";")] or [0]
            i = 0
            while i < len(params):
                p = params[i]
                if p == 0:
                    fg, bg = GREY, 0
                elif 30 <= p <= 37:
                    fg = windows_color(p - 30)
                elif 90 <= p <= 97:
                    fg = windows_color(p - 90) | 8
                elif p == 39:
                    fg = GREY
                elif 40 <= p <= 47:
                    bg = windows_color(p - 40)
                elif 100 <= p <= 107:
                    bg = windows_color(p - 100) | 8
                elif p == 49:
                    bg = 0
                elif p in (38, 48) and i + 2 < len(params) and params[i + 1] == 5:
                    n = params[i + 2]
                    color = windows_color(n & 7) | (8 if n >= 8 else 0)
                    fg, bg = (color, bg) if p == 38 else (fg, color)
                    i += 2
                i += 1
        row += [(c, fg, bg) for c in line[pos:]]
        rows.append(row)
    return rows


class Screen:
    def __init__(self, captured):
        self.rows = parse_screen(captured)
        self.lines = ["".join(c for c, _, _ in row) for row in self.rows]

    def colors_of(self, text):
        """The set of (foreground, background) of the cells of text's first appearance."""
        for row, line in zip(self.rows, self.lines):
            at = line.find(text)
            if at >= 0:
                return {(fg, bg) for _, fg, bg in row[at:at + len(text)]}
        raise AssertionError("%r not on screen:\n%s" % (text, "\n".join(self.lines)))

    def row_of(self, text):
        return next(i for i, line in enumerate(self.lines) if text in line)


class ConsoleRun:
    """One run of the tool in its own tmux server and session."""

    def __init__(self, test, exe, *args, cwd):
        self.test = test
        name = "tmux-" + uuid.uuid4().hex[:10]
        # A server of its own, with its socket in the test's scratch directory.
        self.socket = os.path.join(test.tmp, name + ".sock")
        self.rc_path = os.path.join(test.tmp, name + ".rc")
        env = wine_env()
        command = "cd %s && env WINEPREFIX=%s WINEDEBUG=-all wine %s; echo $? > %s; sleep 600" % (
            shlex.quote(cwd), shlex.quote(env["WINEPREFIX"]),
            " ".join(shlex.quote(a) for a in [exe] + list(args)), shlex.quote(self.rc_path))
        subprocess.run(["tmux", "-S", self.socket, "new-session", "-d", "-s", "run", "-x", "100",
                        "-y", "50", command], check=True)
        test.addCleanup(subprocess.run, ["tmux", "-S", self.socket, "kill-server"],
                        stderr=subprocess.DEVNULL)

    def screen(self):
        out = subprocess.run(["tmux", "-S", self.socket, "capture-pane", "-p", "-e", "-t", "run"],
                             stdout=subprocess.PIPE, check=True).stdout
        return Screen(out.decode("utf-8", "replace"))

    def wait_for(self, text, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            screen = self.screen()
            if any(text in line for line in screen.lines):
                return screen
            time.sleep(0.1)
        self.test.fail("%r never appeared:\n%s" % (text, "\n".join(self.screen().lines)))

    def press(self, key):
        subprocess.run(["tmux", "-S", self.socket, "send-keys", "-t", "run", key], check=True)

    def exit_code(self, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(self.rc_path):
                with open(self.rc_path) as f:
                    text = f.read().strip()
                if text:
                    return int(text)
            time.sleep(0.1)
        self.test.fail("the run did not end:\n%s" % "\n".join(self.screen().lines))


@needs_console
class StartupConsoleTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)

    def log_texts(self, exe):
        names = [n for n in os.listdir(self.cwd) if n.startswith(os.path.basename(exe) + "_")]
        self.assertEqual(len(names), 1, names)
        return [line.split("] - ", 1)[1]
                for line in read_log(os.path.join(self.cwd, names[0])).split("\r\n")[:-1]]

    def start_update_prompt(self):
        exe = self.tool_copy(source=SEAMED_EXE)
        run = ConsoleRun(self, exe, "--seam-missing=AddDllDirectory", win_path(self.data),
                         cwd=self.cwd)
        screen = run.wait_for("[Yes / No]")
        warning = "Windows update KB2533623 is not installed in your operating system!"
        explanation = ("In some cases lack of this update may lead to security issues in "
                       "cleaner execution.")
        self.assertEqual(screen.colors_of(warning), {(YELLOW, 0)})
        self.assertEqual(screen.colors_of(explanation), {(GREY, 0)})
        self.assertEqual(screen.row_of(explanation), screen.row_of(warning) + 1)
        question = "Do you want to continue anyway?"
        self.assertEqual(screen.colors_of(question), {(YELLOW, BLUE)})
        self.assertEqual(screen.row_of("[Yes / No]"), screen.row_of(question) + 1)
        return exe, run

    def test_UpdateMissing_AnswerNo_EndsWith10(self):
        exe, run = self.start_update_prompt()
        run.press("x")  # not an answer: the prompt keeps waiting
        time.sleep(0.5)
        self.assertFalse(os.path.exists(run.rc_path))
        run.press("n")
        self.assertEqual(run.exit_code(), 10)
        self.assertEqual(run.screen().colors_of("[No]"), {(LIGHT_RED, 0)})
        texts = self.log_texts(exe)
        self.assertEqual(texts[-1], "End")
        self.assertTrue(texts[-2].startswith("ERROR: "), texts[-2])
        self.assertNotIn("INFO: Looking for infected files...", texts)

    def test_UpdateMissing_AnswerYes_RunsOn(self):
        exe, run = self.start_update_prompt()
        run.press("Y")
        run.wait_for("[Press Any Key]")
        self.assertEqual(run.screen().colors_of("[Yes]"), {(LIGHT_GREEN, 0)})
        run.press("Enter")
        self.assertEqual(run.exit_code(), 0)
        self.assertIn("INFO: 0 infected files found.", self.log_texts(exe))

    def test_BannerAndReport_InTheirColours(self):
        run = ConsoleRun(self, self.tool_copy(), "/n", win_path(self.data), cwd=self.cwd)
        screen = run.wait_for("[Press Any Key]")
        expected = [
            ("Bristoke decryptor", LIGHT_CYAN),
            ("Version: 1.0.0.0", WHITE),
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
                self.assertEqual(screen.colors_of(text), {(color, 0)})
        run.press("Enter")
        self.assertEqual(run.exit_code(), 0)

    def test_SecondInstance_RedBoxThenExit6(self):
        name = "decryptor-%s.exe" % uuid.uuid4().hex[:6]
        first = ConsoleRun(self, self.tool_copy(name), "/n", win_path(self.data), cwd=self.cwd)
        first.wait_for("[Press Any Key]")  # at its final prompt, still holding the mutex
        second_cwd = os.path.join(self.tmp, "second")
        os.makedirs(second_cwd)
        second = ConsoleRun(self, self.tool_copy(name), "/n", win_path(self.data),
                            cwd=second_cwd)
        screen = second.wait_for("Another Instance Running")
        self.assertEqual(screen.colors_of("Another Instance Running"), {(YELLOW, RED)})
        self.assertEqual(screen.colors_of("Another instance of the cleaner is already running."),
                         {(WHITE, RED)})
        self.assertIn("[Press Any Key]", screen.lines[screen.row_of("Another instance of")])
        self.assertNotIn("Looking for infected files...", "\n".join(screen.lines))
        second.press("Enter")
        self.assertEqual(second.exit_code(), 6)
        first.press("Enter")
        self.assertEqual(first.exit_code(), 0)


if __name__ == "__main__":
    main()
