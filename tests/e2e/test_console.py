"""The console handler in a real console (Wine in tmux) and with its output redirected.

console_demo.exe draws scripted scenes with the tool's own console code. How rows wrap, scroll
and are tracked, and how prompts take their keys, is tabled in tests/unit/console_*_test.cpp on a
screen in memory; these show that the system's console really draws and reads it so."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import BUILD, ToolTestCase, command, main, wine_env
from tmux_console import BLUE, RED, TmuxConsole, on

DEMO = os.path.join(BUILD, "tests", "console_demo.exe")
WIDTH = 100
# How long a prompt that should wait for a key gets to show that it does not.
SETTLE = 1.0
# Keys that answer no yes/no question, with and without Shift, Control or Alt.
NOT_ANSWERS = ["x", "1", "Space", "Enter", "Up", "F5", "BTab", "C-y", "M-x", "Q"]

NORMAL, SUCCESS, ERROR, WARNING, EMPHASIS, HEADING = 7, 10, 12, 14, 15, 11


def digits(length):
    return "".join(str(i % 10) for i in range(length))


def tagged(text, tag):
    """A row with the text on the left and the tag ending at the last column."""
    return (text.ljust(WIDTH - len(tag)) + tag).rstrip()


class ConsoleTestCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="bristoke-console-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)

    def console(self, *args, program=DEMO, stdin=None):
        return TmuxConsole(self, self.tmp, program, args, width=WIDTH, height=30, stdin=stdin)

    def finished_screen(self, console, last_text):
        self.assertEqual(console.wait_exit(), 0)
        return console.wait_for(last_text)


class DrawingTests(ConsoleTestCase):
    def test_Lines_ColourPiecesFullRowWrapAndControls(self):
        console = self.console("lines")
        screen = self.finished_screen(console, "scene end")
        long_text = "long:" + digits(WIDTH + 20)
        self.assertEqual(screen.rows[:13], [
            "plain start",
            "green then plain",
            "red yellow end",
            "=" * WIDTH,
            "",  # the text ended at the last column, so its "\r\n" only leaves this row empty
            "after full row",
            long_text[:WIDTH],
            long_text[WIDTH:],
            "abcX",  # backspace moves back without erasing
            "AB345",  # a lone "\r" returns to the start of the row
            "-" * (WIDTH - 1),
            "scene end",
            "",
        ])
        self.assertEqual(screen.colours(1, "green"), {SUCCESS})
        self.assertEqual(screen.colours(1, " then plain"), {NORMAL})
        self.assertEqual(screen.colours(2, "red"), {ERROR})
        self.assertEqual(screen.colours(2, " "), {NORMAL})
        self.assertEqual(screen.colours(2, "yellow"), {WARNING})
        self.assertEqual(screen.colours(2, " end"), {NORMAL})
        for row in [0] + list(range(3, 12)):
            self.assertLessEqual(screen.row_colours(row), {NORMAL}, row)

    def test_Scroll_RowsKeepTheirPlaceWhenTheBufferScrolls(self):
        console = self.console("scroll")
        screen = self.finished_screen(console, "scene end")
        # "lost row" left the top of the buffer before its update, which therefore drew nothing;
        # "kept row" was updated where its row had scrolled to; "partial" was still open on the
        # last row when a new row was taken, which scrolled by two rows and left it intact.
        self.assertEqual(screen.rows, [tagged("kept row", " [Done] ")] +
                         ["filler b%d" % i for i in range(1, 26)] +
                         ["partial", tagged("after partial", " [7%] "), "scene end", ""])
        self.assertEqual(screen.colours(0, "[Done]"), {SUCCESS})
        self.assertEqual(screen.colours(0, "kept row"), {NORMAL})

    def test_Progress_TagsRightAlignedThroughTheirStates(self):
        mirror = os.path.join(self.tmp, "mirror.txt")
        console = self.console("progress", "mirror=Z:" + mirror.replace("/", "\\"))
        first = "Cleaning [first.BRSK]"
        # A step reads the next key, even one sent before the step began to read.
        screen = console.wait_for("[0%]")
        self.assertEqual(screen.rows[1], tagged(first, " [0%] "))
        console.send("Space")
        screen = console.wait_for("[42%]")
        self.assertEqual(screen.rows[1], tagged(first, " [42%] "))
        console.send("Space")
        screen = self.finished_screen(console, "scene end")
        self.assertEqual(screen.rows[:6], [
            "progress scene",
            tagged(first, " [Done] "),
            tagged("Cleaning [second.BRSK]", " [Error] "),
            digits(WIDTH + 20)[21:] + ">",  # a tag wider than the row loses its start
            "scene end",
            "",
        ])
        self.assertEqual(screen.colours(1, "[Done]"), {SUCCESS})
        self.assertEqual(screen.colours(1, first), {NORMAL})
        self.assertEqual(screen.colours(2, "[Error]"), {ERROR})
        self.assertEqual(screen.row_colours(4), {NORMAL})
        with open(mirror, "rb") as f:
            self.assertEqual(f.read().decode("utf-16"), "".join([
                "progress scene\r\n",
                first + " [0%] \r\n",
                first + " [42%] \r\n",
                first + " [Done] \r\n",
                "Cleaning [second.BRSK] [0%] \r\n",
                "Cleaning [second.BRSK] [Error] \r\n",
                digits(WIDTH + 20)[21:] + ">",
                "scene end\r\n",
            ]))


class PromptTests(ConsoleTestCase):
    OVERWRITE = "Do you want to overwrite the following file?"

    def final_rows(self, overwrite, proceed):
        """The prompt scene's last screen: each box in plain colours with its answer."""
        return [
            "prompt scene",
            self.OVERWRITE,
            tagged("C:\\data\\report.doc", " [Yes] " if overwrite else " [No] "),
            "",
            "Another Instance Running",
            tagged("Continue anyway?", " [Yes] " if proceed else " [No] "),
            "",
            "Cleaning Finished.",
            tagged("The cleaner has successfully finished.", " [Ok] "),
            "",
            "answers: %s %s no" % ("yes" if overwrite else "no", "yes" if proceed else "no"),
        ]

    def assert_box(self, screen, headline, message, tag, background, headline_colour):
        top = screen.row_with(headline)
        # The bar is underscores drawn in the background colour on itself.
        self.assertEqual(screen.rows[top + 1], (message.ljust(WIDTH - len(tag), "_") + tag).rstrip())
        self.assertEqual(screen.colours(top, headline), {on(background, headline_colour)})
        self.assertEqual(set(screen.attributes[top][len(headline):WIDTH]),
                         {on(background, background)})
        bar = screen.attributes[top + 1]
        self.assertEqual(set(bar[:len(message)]), {on(background, EMPHASIS)})
        self.assertEqual(set(bar[len(message):WIDTH - len(tag)]), {on(background, background)})
        self.assertEqual(set(bar[WIDTH - len(tag):WIDTH]), {on(background, EMPHASIS)})

    def assert_answered(self, screen, headline, message, tag, colour):
        top = screen.row_with(headline)
        self.assertEqual(screen.rows[top:top + 3], [headline, tagged(message, tag), ""])
        self.assertEqual(screen.row_colours(top), {NORMAL})
        self.assertEqual(screen.colours(top + 1, message), {colour})
        self.assertEqual(screen.colours(top + 1, tag.strip()), {colour})

    def test_YesNo_OnlyYOrNAnswerAndTheBoxStaysInPlainColours(self):
        console = self.console("prompt")
        screen = console.wait_for_prompt("[Yes / No]")
        self.assert_box(screen, self.OVERWRITE, "C:\\data\\report.doc", " [Yes / No] ", BLUE,
                        WARNING)
        # Other keys go first and pass over: had one answered, as yes or as no, one of the two
        # answers after them would be wrong.
        console.send(*NOT_ANSWERS)
        console.send("Y")  # Wine types it as Shift, Y, and the releases of both
        screen = console.wait_for_prompt("Continue anyway?")
        self.assert_answered(screen, self.OVERWRITE, "C:\\data\\report.doc", " [Yes] ", SUCCESS)
        self.assert_box(screen, "Another Instance Running", "Continue anyway?", " [Yes / No] ",
                        RED, WARNING)
        console.send(*NOT_ANSWERS)
        console.send("N")
        screen = console.wait_for_prompt("[Press Any Key]")
        self.assert_answered(screen, "Another Instance Running", "Continue anyway?", " [No] ",
                             ERROR)
        self.assert_box(screen, "Cleaning Finished.", "The cleaner has successfully finished.",
                        " [Press Any Key] ", BLUE, SUCCESS)
        console.send("q")
        screen = self.finished_screen(console, "answers:")
        self.assert_answered(screen, "Cleaning Finished.", "The cleaner has successfully finished.",
                             " [Ok] ", NORMAL)
        self.assertEqual(screen.rows[:11], self.final_rows(True, False))

    def test_NoConsoleInput_PromptsAnswerWithoutWaiting(self):
        # Nobody can answer: a question is a no, so nothing is overwritten and nothing runs on.
        console = self.console("prompt", stdin="/dev/null")
        screen = self.finished_screen(console, "answers:")
        self.assertEqual(screen.rows[:11], self.final_rows(False, False))
        self.assertEqual(screen.colours(2, "C:\\data\\report.doc"), {ERROR})


class FinalPromptTests(ToolTestCase):
    def test_EmptyPath_FinalPromptWaitsForAKeyThenExits0(self):
        console = TmuxConsole(self, self.cwd, self.tool_copy(), [""], width=WIDTH, height=30)
        message = "The cleaner has successfully finished cleaning your system."
        screen = console.wait_for_prompt("[Press Any Key]")
        self.assertEqual(screen.row_colours(screen.row_with("Cleaning Finished.")),
                         {on(BLUE, SUCCESS), on(BLUE, BLUE)})
        # A prompt that did not wait would draw its answer right after its tag, with nothing
        # between them that could hold it up.
        time.sleep(SETTLE)
        self.assertTrue(console.running())
        screen = console.screen()
        self.assertTrue(screen.rows[screen.row_with(message)].endswith("[Press Any Key]"))
        console.send("Enter")
        self.assertEqual(console.wait_exit(), 0)
        screen = console.wait_for("[Ok]")
        self.assertEqual(screen.rows[screen.row_with(message)], tagged(message, " [Ok] "))


class RedirectedTests(unittest.TestCase):
    def run_demo(self, *args):
        proc = subprocess.run(command(DEMO, *args), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(),
                              timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return proc.stdout.decode("utf-8")

    def test_Lines_PlainTextWithoutColours(self):
        # Standard output is in text mode: each "\r\n" of a line reaches the file once, not as
        # "\r\r\n"; a lone "\r" and a backspace pass unchanged. The rule falls back to 80.
        self.assertEqual(self.run_demo("lines"), "".join([
            "plain start\r\n",
            "green then plain\r\n",
            "red yellow end\r\n",
            "\r\n",
            "after full row\r\n",
            "long:" + digits(20) + "\r\n",
            "abcd\bX\r\n",
            "12345\rAB\r\n",
            "-" * 80 + "\r\n",
            "scene end\r\n",
        ]))

    def test_Progress_TextPrintedOnceAsALineAndUpdatesPrintNothing(self):
        self.assertEqual(self.run_demo("progress"), "progress scene\r\n"
                         "Cleaning [first.BRSK]\r\nCleaning [second.BRSK]\r\nscene end\r\n")

    def test_Ask_PrintsTheQuestionAndAnswersYesUnlessASwitchDecides(self):
        question = "".join([
            "Do you want to overwrite the following file?\r\n",
            "C:\\data\\report.doc [YES]\r\n",
            "Another Instance Running\r\n",
            "Continue anyway? [YES]\r\n",
            "Cleaning Finished.\r\n",
            "The cleaner has successfully finished. [YES]\r\n",
        ])
        for switches, expected in [
            ([], question + "answers: yes yes yes\r\n"),
            (["silent"], "answers: no no no\r\n"),
            (["forced"], "answers: yes yes yes\r\n"),
            (["silent", "forced"], "answers: yes yes yes\r\n"),
        ]:
            with self.subTest(switches=switches):
                self.assertEqual(self.run_demo("prompt", *switches), "prompt scene\r\n" + expected)


if __name__ == "__main__":
    main()
