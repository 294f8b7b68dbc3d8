"""Faults that are no language exception (access violations, played by the seamed tool) and a
console that can no longer draw: the run ends by itself with exit code 255 and the crash lines
at the end of its log, and never waits on an error dialog or a key."""
import os
import re
import subprocess

from harness import SEAMED_EXE, ToolTestCase, main, project_version, read_log, win_path
from decryption import backup_suffix, read
from planting import Planted, plant
from tmux_console import LIGHT_RED, TmuxConsole, on

FATAL = "Fatal error occured, consult support."
# What crashed, where and in which version, between the two lines of the crash.
DETAILS = re.compile(r"INFO: Crash: (?:exception 0x(?P<code>[0-9A-F]{8}) at 0x[0-9A-F]+, "
                     r"(?P<module>.+)\+0x(?P<offset>[0-9A-F]+)|a language exception), "
                     r"version " + re.escape(project_version()) + "$")
TRIPLE = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}[
    os.environ.get("BRISTOKE_ARCH", "i686")]
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
        """The crash's lines end the log; what its details line says."""
        self.assertEqual(texts[0], "Begin")
        self.assertEqual(texts[-3], "ERROR: " + FATAL)
        self.assertEqual(texts[-1], "End (crash)")
        self.assertEqual(texts.count("ERROR: " + FATAL), 1)
        details = DETAILS.match(texts[-2])
        self.assertIsNotNone(details, texts[-2])
        return details

    def named_by_symbols(self, offset):
        """What addr2line says of an offset in the test build, as docs/recovery.md tells an
        administrator to read a crash against the release's symbols."""
        headers = subprocess.run([TRIPLE + "-objdump", "-p", SEAMED_EXE], check=True,
                                 stdout=subprocess.PIPE, text=True).stdout
        base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)$", headers, re.M).group(1), 16)
        return subprocess.run([TRIPLE + "-addr2line", "-f", "-C", "-i", "-e", SEAMED_EXE,
                               hex(base + int(offset, 16))], check=True,
                              stdout=subprocess.PIPE, text=True).stdout.splitlines()

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
                details = self.assert_crash_log(texts)
                # The fault's code, and where it was: the test build's function that writes
                # through a null pointer, read back from the log's offset.
                self.assertEqual(details.group("code"), "C0000005")
                self.assertEqual(details.group("module"), os.path.basename(self.exe))
                named = self.named_by_symbols(details.group("offset"))
                print("\n%s: %s\n  addr2line: %s" % (what, texts[-3:], named))
                self.assertIn("WriteThroughNull", named[0])
                self.assertRegex(named[1], r"tests/seam/seamed_tool\.cpp:\d+")
                if reached is None:
                    self.assertEqual(len(texts), 4, texts)
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
        texts = self.log_texts()
        self.assertEqual(len(texts), 4, texts)
        self.assertIsNone(self.assert_crash_log(texts).group("code"))


if __name__ == "__main__":
    main()
