"""The main walk over real trees, seen through list-only forced runs (/f /n), which log one
"Skipping [" line for every file the walker yields and nothing for directories."""
import ctypes
import os
import re
import shutil

from harness import ToolTestCase, main, win_path

SKIPPING = re.compile(r"^INFO: Skipping \[(.*)\]\.\.\.$")


def make_tree(root, files):
    for name in files:
        path = os.path.join(root, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        open(path, "wb").close()


def drop_file_access_override():
    """Makes root subject to permission bits, as an ordinary user is (preexec of the run)."""
    libc = ctypes.CDLL(None, use_errno=True)
    pr_capbset_drop, cap_dac_override, cap_dac_read_search = 24, 1, 2
    for capability in (cap_dac_override, cap_dac_read_search):
        if libc.prctl(pr_capbset_drop, capability, 0, 0, 0) != 0:
            raise OSError(ctypes.get_errno(), "prctl(PR_CAPBSET_DROP)")


class WalkTests(ToolTestCase):
    TREE = ["a.txt", ".dotfile", "system.bin", "y.doc", "sub\\b.doc", "sub\\deeper\\c.txt",
            "x.doc\\inner.txt", "x.doc\\nested\\d.txt"]

    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "data")
        make_tree(self.root, self.TREE)
        os.makedirs(os.path.join(self.root, "empty"))
        os.setxattr(os.path.join(self.root, "system.bin"), "user.DOSATTRIB", b"0x4")
        self.win_root = win_path(self.root)

    def walk_problems(self, run):
        """Warnings and errors logged during the walk (the mode notices come before it)."""
        texts = run.texts()
        walk = texts[texts.index("INFO: Looking for infected files..."):]
        return [t for t in walk if t.startswith(("WARNING", "ERROR"))]

    def listed(self, run):
        return [m.group(1) for m in map(SKIPPING.match, run.texts()) if m]

    def under_root(self, *names):
        return sorted(self.win_root + "\\" + name for name in names)

    def assert_walk_ended_normally(self, run, files, rc=0):
        self.assertEqual(run.rc, rc)
        self.assertIn("INFO: %d infected files found." % files, run.texts())
        self.assertEqual(run.texts()[-1], "End")

    def test_DirectoryRoot_EveryFileOnceHiddenAndSystemIncluded(self):
        run = self.run_tool("/f", "/n", self.win_root)
        self.assertEqual(sorted(self.listed(run)), self.under_root(*self.TREE))
        self.assertEqual(self.walk_problems(run), [])
        self.assert_walk_ended_normally(run, len(self.TREE))

    def test_PatternRoot_FiltersTheTopLevelAndWalksMatchingDirectoriesWhole(self):
        run = self.run_tool("/f", "/n", self.win_root + "\\*.doc")
        self.assertEqual(sorted(self.listed(run)),
                         self.under_root("y.doc", "x.doc\\inner.txt", "x.doc\\nested\\d.txt"))
        self.assert_walk_ended_normally(run, 3)

    def test_EmptyArgumentSkippedAndAPathGivenTwiceEachFileListedOnce(self):
        run = self.run_tool("/f", "/n", "", self.win_root, self.win_root + "\\")
        self.assertEqual(sorted(self.listed(run)), self.under_root(*self.TREE))
        self.assertFalse([t for t in run.texts() if "Invalid Path" in t])
        self.assert_walk_ended_normally(run, len(self.TREE))

    def test_MissingPath_OneWarningNamingThePathAsGivenExit2(self):
        # (what, the path given)
        cases = [("a missing file in an existing directory", self.win_root + "\\missing.txt"),
                 ("a missing path in a missing directory", self.win_root + "\\nodir\\missing.txt"),
                 ("a pattern that matches nothing", self.win_root + "\\*.none")]
        for what, missing in cases:
            with self.subTest(what):
                run = self.run_tool("/f", "/n", missing)
                self.assertEqual([t for t in run.texts() if "Invalid Path" in t],
                                 ["WARNING: Invalid Path [%s]" % missing])
                self.assertIn("Invalid Path [%s]\r\n" % missing, run.stdout)
                self.assertFalse([t for t in run.texts() if "consistency error" in t])
                self.assertEqual(self.listed(run), [])
                self.assert_walk_ended_normally(run, 0, rc=2)

    def stage_locked(self):
        """A subdirectory with a file that no one may list; returns its warning and the undo."""
        locked = os.path.join(self.root, "sub", "locked")
        make_tree(locked, ["hidden-away.txt"])
        os.chmod(locked, 0)

        def undo():
            os.chmod(locked, 0o755)
            shutil.rmtree(locked)
        return "Can't search directory [%s\\sub\\locked], GLE(0x00000005)" % self.win_root, undo

    def stage_link_back(self):
        link = os.path.join(self.root, "sub", "up")
        os.symlink("..", link)
        return ("Not descending into [%s\\sub\\up], it is a link to another place: give that "
                "place as a path to clean it" % self.win_root, lambda: os.remove(link))

    def test_SkippedSubdirectories_OneWarningEachInTheLogAndOnTheConsole(self):
        # (what, staging, run's preexec). Root ignores permission bits: as root the locked
        # directory is listed like any other. A run whose capability bounding set lacks
        # CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH is held to them, and there FindFirstFileW on
        # a directory of mode 000 fails with access denied (GLE 5).
        cases = [
            ("no right to list it", self.stage_locked, drop_file_access_override),
            ("a link back into the root", self.stage_link_back, None),
        ]
        for what, stage, preexec in cases:
            with self.subTest(what):
                warning, undo = stage()
                try:
                    run = self.run_tool("/f", "/n", self.win_root, preexec=preexec)
                finally:
                    undo()
                self.assertEqual(sorted(self.listed(run)), self.under_root(*self.TREE))
                self.assertEqual(self.walk_problems(run), ["WARNING: " + warning])
                self.assertIn(warning, run.stdout.replace("\r\n", "\n").split("\n"))
                self.assert_walk_ended_normally(run, len(self.TREE))

if __name__ == "__main__":
    main()
