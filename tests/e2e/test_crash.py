"""Faults that are no language exception (access violations, played by the seamed tool) and a
console that can no longer draw: the run ends by itself with exit code 255 and the crash lines
at the end of its log, and never waits on an error dialog or a key."""
import os

from harness import SEAMED_EXE, ToolTestCase, main, project_version, read_log, win_path
from decryption import backup_suffix, read
from planting import Planted, plant
from tmux_console import LIGHT_RED, TmuxConsole, on

FATAL = "Fatal error occured, consult support."
CRASH_LINES = ["ERROR: " + FATAL, "End (crash)"]
# The first write of more than 4,096 bytes to a file stream allocates its 65,536-byte staging
# buffer: for a cleaning run, the decrypted output's first chunk.
DURING_DECRYPTION = "--seam-fault-new=65536"


class CrashTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        [self.victim] = plant(self.tmp, [
            Planted(os.path.join(self.data, "report.doc.BRSK"), os.urandom(100000), 1)])
        self.exe = self.tool_copy(source=SEAMED_EXE)

    def log_texts(self):
        names = [n for n in os.listdir(self.cwd) if n.startswith(os.path.basename(self.exe))]
        self.assertEqual(len(names), 1, names)
        lines = read_log(os.path.join(self.cwd, names[0])).split("\r\n")[:-1]
        return [line.split("] - ", 1)[1] for line in lines]

    def assert_crash_log(self, texts):
        self.assertEqual(texts[0], "Begin")
        self.assertEqual(texts[-2:], CRASH_LINES)
        self.assertEqual(texts.count("ERROR: " + FATAL), 1)

    def test_AccessViolation_EndsWith255AndTheCrashLines(self):
        # (what, seam option, what the run logged before it: a part of a line, or None for
        # nothing but "Begin")
        cases = [
            ("before the banner", "--seam-fault-in=RtlGetVersion", None),
            ("in the system report", "--seam-fault-in=IsWow64Process",
             "Version: " + project_version()),
            ("while a file is decrypted", DURING_DECRYPTION,
             "INFO: Cleaning file [%s]" % win_path(self.victim.path)),
        ]
        for what, option, reached in cases:
            with self.subTest(what):
                run = self.run_tool(option, "/s", win_path(self.data), exe=self.exe, timeout=60)
                self.assertEqual(run.rc, 255, run.stderr[-2000:])
                # Wine's debugger says so on standard error when it is called for a fault.
                self.assertNotIn("Unhandled", run.stderr)
                self.assertEqual(run.stdout.rstrip("\r\n").split("\r\n")[-1], FATAL)
                texts = run.texts()
                self.assert_crash_log(texts)
                if reached is None:
                    self.assertEqual(len(texts), 3, texts)
                else:
                    self.assertTrue([t for t in texts if reached in t], texts)
        # The last fault left the file under the name that says it is being cleaned, whole:
        # nothing is lost, and the next run takes it up.
        self.assertEqual(read(self.victim.backup(backup_suffix(run, "cleaning"))),
                         self.victim.encrypted)

    def test_AccessViolationInAConsole_EndsByItselfWithTheLineInRed(self):
        # Without a switch the run would end on a prompt that waits for a key; none is sent.
        console = TmuxConsole(self, self.tmp, self.exe, [DURING_DECRYPTION, win_path(self.data)],
                              cwd=self.cwd)
        self.assertEqual(console.wait_exit(timeout=60), 255)
        screen = console.screen()
        self.assertEqual(screen.colours_of(FATAL), {on(0, LIGHT_RED)})
        self.assertNotIn("Unhandled", str(screen))
        self.assert_crash_log(self.log_texts())

    def test_ConsoleThatCannotDraw_CrashLinesStillInTheLog(self):
        # The console is widened before the run and its wider row cannot be allocated: the first
        # line drawn raises "Not enough space for helper buffers", and so does the crash line.
        console = TmuxConsole(self, self.tmp, self.exe, [
            "--seam-console-width=120", "--seam-fail-new=%d" % (120 * 4), "/s",
            win_path(self.data)], cwd=self.cwd)
        self.assertEqual(console.wait_exit(timeout=60), 255)
        self.assertNotIn(FATAL, str(console.screen()))
        self.assertEqual(self.log_texts(), ["Begin"] + CRASH_LINES)


if __name__ == "__main__":
    main()
