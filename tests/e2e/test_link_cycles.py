"""Symbolic links to directories are followed, but a link back to a directory the walk is
inside ends there, with a warning that names both: every real file is listed and cleaned once,
and the walk ends."""
import os

from harness import ToolTestCase, main, win_path
from decryption import CLEANED, WALK_WARNINGS, backup_suffix, work_files
from planting import (Planted, assert_cleaned, cleaning_lines, plant,
                      verdicts)

# Relative to the tree's root: the files, then the links (name, target; a target starting with
# "/" is made absolute under the root).
FILES = [("a.doc.BRSK", 1), ("sub\\b.xls.QOVY", 4), ("sub\\deeper\\c.jpg.q1w2e3", 5),
         ("other\\d.txt.BRSK", 3)]
CYCLES = [("sub\\up", ".."), ("sub\\deeper\\self", "."), ("sub\\deeper\\loop", "/sub"),
          ("sub\\deeper\\top", "/")]
# (link, the directory it leads back into), relative to the root ("" is the root itself).
CYCLE_WARNINGS = [("sub\\up", ""), ("sub\\deeper\\self", "sub\\deeper"),
                  ("sub\\deeper\\loop", "sub"), ("sub\\deeper\\top", "")]
# Not a cycle: what the link leads to is reached twice, by two paths, and its cycles are met
# again on the second.
SIBLING = [("other\\to-sub", "../sub")]
SIBLING_WARNINGS = [("other\\to-sub\\up", ""),
                    ("other\\to-sub\\deeper\\self", "other\\to-sub\\deeper"),
                    ("other\\to-sub\\deeper\\loop", "other\\to-sub"),
                    ("other\\to-sub\\deeper\\top", "")]


class LinkCycleTests(ToolTestCase):
    def plant_tree(self, links):
        self.root = os.path.join(self.tmp, "data")
        self.files = plant(self.tmp, [
            Planted(os.path.join(self.root, *name.split("\\")), os.urandom(300 + i), variant)
            for i, (name, variant) in enumerate(FILES)])
        for name, target in links:
            if target.startswith("/"):
                target = os.path.join(self.root, target[1:])
            os.symlink(target, os.path.join(self.root, *name.split("\\")))

    def assert_warnings(self, run, expected):
        """One warning for each link back, in the log and on the console, and no other warning
        about a subdirectory."""
        root = win_path(self.root)
        under = lambda relative: root + ("\\" + relative if relative else "")
        texts = ["Not descending into [%s], it leads back into [%s]" % (under(link), under(into))
                 for link, into in expected]
        self.assertEqual(sorted(t for t in run.texts() if t.startswith(WALK_WARNINGS)),
                         sorted("WARNING: " + text for text in texts))
        console = run.stdout.replace("\r\n", "\n").split("\n")
        self.assertEqual(sorted(line for line in console if line.startswith("Not descending")),
                         sorted(texts))

    def test_ListOnly_EveryFileListedOnce(self):
        self.plant_tree(CYCLES)
        run = self.run_tool("/n", win_path(self.root), timeout=60)
        self.assertEqual(run.rc, 0)
        listed = [t for t in run.texts() if t.startswith("INFO: Skipping [")]
        self.assertEqual(sorted(listed), sorted("INFO: Skipping [%s]..." % win_path(item.path)
                                                for item in self.files))
        self.assertIn("INFO: %d infected files found." % len(self.files), run.texts())
        self.assert_warnings(run, CYCLE_WARNINGS)
        self.assertEqual(run.texts()[-1], "End")

    def clean(self, links):
        """Cleans the tree with the links; every file once, whichever way it was reached."""
        self.plant_tree(links)
        run = self.run_tool("/s", win_path(self.root), timeout=60)
        self.assertEqual(run.rc, 0)
        self.assertEqual(cleaning_lines(run), len(self.files))
        assert_cleaned(self, self.files, backup_suffix(run))
        self.assertEqual(work_files(self.root), [])
        return run

    def test_Cleaning_EveryFileCleanedOnceWhereItLies(self):
        run = self.clean(CYCLES)
        self.assertEqual(verdicts(run), {win_path(item.path): CLEANED for item in self.files})
        self.assert_warnings(run, CYCLE_WARNINGS)

    def test_LinkToASibling_ReachedTwiceButCleanedOnce(self):
        # The second visit finds the decrypted files and the backups, which are no victims.
        run = self.clean(CYCLES + SIBLING)
        self.assertEqual(sorted(verdicts(run).values()), [CLEANED] * len(self.files))
        self.assert_warnings(run, CYCLE_WARNINGS + SIBLING_WARNINGS)


if __name__ == "__main__":
    main()
