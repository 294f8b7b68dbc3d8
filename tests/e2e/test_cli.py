"""The command line as a user meets it: usage, mode notices, exit codes, and what a script
that redirects the output captures."""
import os

from harness import TOOL_NAME, ToolTestCase, main, win_path
from decryption import CLEANED, NOT_CLEANED, write
from planting import Planted, plant, verdicts

RULE = "-" * 80


def stdout_lines(run):
    return run.stdout.replace("\r\n", "\n").split("\n")


class UsageTests(ToolTestCase):
    def assert_usage(self, run):
        self.assertEqual(run.rc, 1)
        lines = stdout_lines(run)
        self.assertIn("Usage:", lines)
        after = lines[lines.index("Usage:") + 1]
        self.assertTrue(after.startswith(TOOL_NAME + " [options]"), after)
        self.assertIn("  /h or /? - Show usage.", lines)
        # Every exit code, in order, after the options.
        codes = lines[lines.index("Exit codes:") + 1:]
        self.assertEqual([line.split(" - ")[0].strip() for line in codes[:9]],
                         ["0", "1", "2", "6", "8", "9", "10", "11", "255"])
        self.assertIn("  11 - No log file could be created in the current folder; nothing was done.",
                      codes)
        self.assertNotIn("Looking for infected files...", run.stdout)
        self.assertEqual(run.texts()[0], "Begin")
        self.assertEqual(run.texts()[-1], "End")

    def test_NoArguments_UsageAndExit1(self):
        run = self.run_tool(name=TOOL_NAME)
        self.assert_usage(run)
        self.assertNotIn("Enabled", run.stdout)

    def test_HelpWithPaths_UsageAndNothingWalked(self):
        os.makedirs(os.path.join(self.tmp, "data"))
        for switch in ("/?", "/h", "-H"):
            with self.subTest(switch=switch):
                run = self.run_tool(win_path(os.path.join(self.tmp, "data")), switch,
                                    win_path(os.path.join(self.tmp, "missing")), name=TOOL_NAME)
                self.assert_usage(run)
                self.assertFalse(any("Invalid Path" in t for t in run.texts()))

    def test_ModeSwitchesOnly_NoticesInFixedOrderThenUsage(self):
        run = self.run_tool("/n", "/s", "/N", name=TOOL_NAME)
        self.assert_usage(run)
        lines = stdout_lines(run)
        start = lines.index("SilentMode Enabled")
        self.assertEqual(lines[start - 1:start + 3],
                         [RULE, "SilentMode Enabled", "NoCleaningMode Enabled", RULE])
        self.assertEqual(run.stdout.count("NoCleaningMode Enabled"), 1)
        texts = run.texts()
        self.assertIn("WARNING: SilentMode Enabled", texts)
        self.assertLess(texts.index("WARNING: SilentMode Enabled"),
                        texts.index("WARNING: NoCleaningMode Enabled"))

    def test_RedirectedOutput_RulesAre80Characters(self):
        run = self.run_tool(name=TOOL_NAME)
        rules = [line for line in stdout_lines(run) if line.startswith("---")]
        self.assertTrue(rules)
        self.assertTrue(all(line == RULE for line in rules), rules)


class WalkTests(ToolTestCase):
    def test_EmptyArgumentOnly_RunsAndFindsNothing(self):
        run = self.run_tool("")
        self.assertEqual(run.rc, 0)
        self.assertIn("INFO: 0 infected files found.", run.texts())
        self.assertIn("INFO: 0 file(s) cleaned.", run.texts())
        self.assertEqual(run.texts()[-1], "End")

    def test_MissingPath_InvalidPathAsGivenOnTheConsoleAndInTheLogExit2(self):
        # (what, the path's parent exists)
        for what, parent in (("a missing folder", "nowhere"), ("a missing file", "")):
            with self.subTest(what):
                missing = win_path(os.path.join(self.tmp, parent, "missing.txt"))
                run = self.run_tool("/s", missing)
                self.assertEqual(run.rc, 2)
                self.assertIn("WARNING: Invalid Path [%s]" % missing, run.texts())
                self.assertIn("Invalid Path [%s]\r\n" % missing, run.stdout)
                self.assertFalse([t for t in run.texts() if "consistency error" in t])


class RedirectedOutputTests(ToolTestCase):
    def test_CleaningRun_OneLinePerFileAndTheRestAsItWas(self):
        # One argument a file, so the order is the arguments'. The third file cannot be
        # decrypted; the fourth's output name is taken, so its run asks before replacing it.
        cleaned = plant(self.tmp, [
            Planted(os.path.join(self.tmp, "one", "a.doc.BRSK"), os.urandom(3000), 1),
            Planted(os.path.join(self.tmp, "two", "b.xls.QOVY"), os.urandom(2000), 4),
            Planted(os.path.join(self.tmp, "four", "d.txt.BRSK"), os.urandom(1000), 3)])
        broken = write(os.path.join(self.tmp, "three", "c.doc.BRSK"), os.urandom(4000))
        write(cleaned[2].output, b"an older d.txt")
        paths = [win_path(p) for p in (cleaned[0].path, cleaned[1].path, broken, cleaned[2].path)]
        run = self.run_tool(*paths)
        # The third file was not cleaned.
        self.assertEqual(run.rc, 2)
        self.assertEqual(verdicts(run), {paths[0]: CLEANED, paths[1]: CLEANED,
                                         paths[2]: NOT_CLEANED, paths[3]: CLEANED})
        lines = stdout_lines(run)
        walk = lines[lines.index("Looking for infected files...") + 1:]
        self.assertEqual(walk[:walk.index(RULE, 1) + 1], [
            RULE,
            "",
            "Cleaning [%s]" % paths[0],
            "Cleaning [%s]" % paths[1],
            "Cleaning [%s]" % paths[2],
            "Cleaning [%s]" % paths[3],
            "Do you want to overwrite the following file?",
            "%s [YES]" % win_path(cleaned[2].output),
            RULE,
        ])
        self.assertEqual(walk[walk.index(RULE, 1) + 1:], [
            "4 infected files found.", "3 file(s) cleaned.", "Cleaning Finished.",
            "1 file(s) not cleaned; the log names each and why. [YES]", ""])


if __name__ == "__main__":
    main()
