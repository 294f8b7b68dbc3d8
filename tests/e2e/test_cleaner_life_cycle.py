"""The cleaner's start as the user sees it: the key loading announced and the supported
extensions listed, in white on the console and with "INFO: " in the log, and the start that fails
ending the run with exit code 9 before any file is touched."""
import os

from harness import SEAMED_EXE, ToolTestCase, main, win_path
from key_resources import build_records, database, give_resource
from tmux_console import GREY, LIGHT_CYAN, WHITE, TmuxConsole, on

LOADING = "Loading keys, please wait..."
SUPPORTED = "Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%"
LOOKING = "Looking for infected files..."
KEYS_LOADED = r"^INFO: Keys loaded: 3 of 3, key set [0-9a-f]{16}$"
IO_BUFFER_SIZE = 10 * 1024 * 1024
VICTIM_CONTENT = b"\x5a" * 2000


class CleanerStartTestCase(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)
        # Recognised by its name: a run that got past Init would back it up.
        self.victim = os.path.join(self.data, "report.docx.BRSK")
        with open(self.victim, "wb") as f:
            f.write(VICTIM_CONTENT)

    def assertVictimUntouched(self):
        self.assertEqual(os.listdir(self.data), ["report.docx.BRSK"])
        with open(self.victim, "rb") as f:
            self.assertEqual(f.read(), VICTIM_CONTENT)


class InitTests(CleanerStartTestCase):
    def test_Init_AnnouncesLoadingAndExtensionsOnConsoleAndInLog(self):
        run = self.run_tool("/s", win_path(self.data))
        # The victim is named as the family's but holds no footer: it is not cleaned.
        self.assertEqual(run.rc, 2, run.stdout)
        texts = run.texts()
        start = texts.index("INFO: " + LOADING)
        self.assertRegex(texts[start + 1], KEYS_LOADED)
        self.assertEqual(texts[start + 2], "INFO: " + SUPPORTED)
        self.assertRegex(texts[start + 3], r"^INFO: Backup: \d+$")
        self.assertEqual(texts[start + 4], "INFO: " + LOOKING)
        lines = run.stdout.splitlines()
        start = lines.index(LOADING)
        self.assertEqual(lines[start + 1:start + 3], [SUPPORTED, LOOKING])

    def test_NoRoomForTheDecryptionBuffer_InitFailsWith9(self):
        run = self.run_tool("--seam-fail-new=%d" % IO_BUFFER_SIZE, "/s", win_path(self.data),
                            exe=self.tool_copy(source=SEAMED_EXE))
        self.assertEqual(run.rc, 9, run.stdout + run.stderr)
        texts = run.texts()
        tail = texts[texts.index("INFO: " + LOADING) + 1:]
        self.assertRegex(tail[0], KEYS_LOADED)
        self.assertEqual(tail[1], "INFO: " + SUPPORTED)
        self.assertRegex(tail[2], r"^INFO: Backup: \d+$")
        self.assertEqual(tail[3:], ["ERROR: Not enough memory for the decryption buffer.",
                                    "ERROR: Cleaner initialization failed!", "End"])
        self.assertNotIn(LOOKING, run.stdout)
        self.assertVictimUntouched()


class ConsoleTests(CleanerStartTestCase):
    def console(self, exe, *args):
        return TmuxConsole(self, self.tmp, exe, args, height=50, cwd=self.cwd)

    def test_InitLines_WhiteOnTheConsole(self):
        run = self.console(self.tool_copy(), "/n", win_path(self.data))
        screen = run.wait_for_prompt("[Press Any Key]")
        row = screen.row_with(LOADING)
        self.assertEqual(screen.colours(row, LOADING), {on(0, WHITE)})
        self.assertEqual(screen.row_with(SUPPORTED), row + 1)
        self.assertEqual(screen.colours(row + 1, SUPPORTED), {on(0, WHITE)})
        self.assertEqual(screen.row_with(LOOKING), row + 2)
        self.assertEqual(screen.colours(row + 2, LOOKING), {on(0, LIGHT_CYAN)})
        self.assertEqual(screen.row_colours(row + 3), {on(0, GREY)})  # the rule below
        run.send("Enter")
        self.assertEqual(run.wait_exit(), 0)

    def test_KeysUnreadable_OnlyTheLoadingLineThenExit9(self):
        exe = self.tool_copy()
        give_resource(exe, database(build_records(), version=4))
        run = self.console(exe, "/n", win_path(self.data))
        self.assertEqual(run.wait_exit(), 9)
        screen = run.screen()
        row = screen.row_with(LOADING)
        self.assertEqual(screen.colours(row, LOADING), {on(0, WHITE)})
        self.assertEqual([r for r in screen.rows[row + 1:] if r], [])
        self.assertVictimUntouched()


if __name__ == "__main__":
    main()
