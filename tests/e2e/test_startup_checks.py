"""Start-up checks that Wine cannot stage by itself, run through the seamed build of the tool
(tests/seam): a missing version function and a missing security update (AddDllDirectory)."""
import os

from harness import SEAMED_EXE, ToolTestCase, main, win_path

WARNING = "Windows update KB2533623 is not installed in your operating system!"
EXPLANATION = ("In some cases lack of this update may lead to security issues in cleaner "
               "execution.")
QUESTION = "Do you want to continue anyway?"
NO_UPDATE = "--seam-missing=AddDllDirectory"


class StartupCheckTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = win_path(os.path.join(self.tmp, "data"))
        os.makedirs(os.path.join(self.tmp, "data"))

    def run_seamed(self, *args):
        return self.run_tool(*args, exe=self.tool_copy(source=SEAMED_EXE))

    def assert_warned(self, run):
        lines = run.stdout.replace("\r\n", "\n").split("\n")
        start = lines.index(WARNING)
        self.assertEqual(lines[start + 1:start + 3], [EXPLANATION, QUESTION])
        report_end = next(i for i, line in enumerate(lines) if line.startswith("Machine guid: "))
        self.assertLess(report_end, start)
        texts = run.texts()
        start = texts.index("WARNING: " + WARNING)
        self.assertEqual(texts[start + 1], EXPLANATION)

    def assert_not_warned(self, run):
        self.assertNotIn("KB2533623", run.stdout)
        self.assertFalse(any("KB2533623" in t for t in run.texts()))

    def test_VersionFunctionMissing_Exit8WithoutAnyOutput(self):
        run = self.run_seamed("--seam-os=none", self.data)
        self.assertEqual(run.rc, 8)
        self.assertEqual(run.stdout, "")
        self.assertEqual(run.texts(), ["Begin", "End"])

    def test_UpdateMissing_WarnsAndAsks_RedirectedOutputGoesOn(self):
        run = self.run_seamed(NO_UPDATE, self.data)
        self.assertEqual(run.rc, 0)
        self.assert_warned(run)
        self.assertIn("INFO: 0 infected files found.", run.texts())

    def test_UpdateWarning_OnlyOnReleasesFrom6On(self):
        releases = [
            ("5.0.2195.4.1", False),  # Windows 2000
            ("5.1.2600.3.1", False),  # XP
            ("5.2.3790.2.3", False),  # Server 2003
            ("6.0.6002.2.1", True),   # Vista
            ("6.1.7601.1.3", True),   # Server 2008 R2
            ("10.0.19045.0.1", True),
        ]
        for release, warned in releases:
            with self.subTest(release=release):
                run = self.run_seamed("--seam-os=" + release, NO_UPDATE, self.data)
                self.assertEqual(run.rc, 0)
                self.assertIn("OS: %s.%s.%s SP%s" % tuple(release.split(".")[:4]), run.stdout)
                if warned:
                    self.assert_warned(run)
                else:
                    self.assert_not_warned(run)

    def test_AnyModeSwitch_SkipsTheCheck(self):
        for switch in ("/s", "/f", "/d", "/n"):
            with self.subTest(switch=switch):
                run = self.run_seamed(NO_UPDATE, switch, self.data)
                self.assertEqual(run.rc, 0)
                self.assert_not_warned(run)
                self.assertNotIn(QUESTION, run.stdout)

    def test_NoArguments_CheckRunsBeforeTheUsage(self):
        run = self.run_seamed(NO_UPDATE)
        self.assertEqual(run.rc, 1)
        self.assert_warned(run)
        self.assertLess(run.stdout.index(WARNING), run.stdout.index("Usage:"))


if __name__ == "__main__":
    main()
