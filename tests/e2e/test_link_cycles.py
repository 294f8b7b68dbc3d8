"""Links to folders are not entered, wherever they lead: each gets one warning that names it, and
every real file is listed and cleaned once, where it lies. A folder mounted inside itself, which
is no link, is entered, but never round in a circle: the way back gets a warning that names both
ends."""
import os
import subprocess

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
# Not a cycle: what the link leads to lies in the tree, and is walked there alone.
SIBLING = [("other\\to-sub", "../sub")]
LINK = "Not descending into [%s], it is a link to another place: give that place as a path to " \
       "clean it"


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

    def under(self, relative):
        root = win_path(self.root)
        return root + ("\\" + relative if relative else "")

    def assert_warnings(self, run, texts):
        """These warnings, in the log and on the console, and no other about a subdirectory."""
        self.assertEqual(sorted(t for t in run.texts() if t.startswith(WALK_WARNINGS)),
                         sorted("WARNING: " + text for text in texts))
        console = run.stdout.replace("\r\n", "\n").split("\n")
        self.assertEqual(sorted(line for line in console if line.startswith("Not descending")),
                         sorted(texts))

    def link_warnings(self, links):
        return [LINK % self.under(name) for name, _ in links]

    def test_ListOnly_EveryFileListedOnce(self):
        self.plant_tree(CYCLES)
        run = self.run_tool("/n", win_path(self.root), timeout=60)
        self.assertEqual(run.rc, 0)
        listed = [t for t in run.texts() if t.startswith("INFO: Skipping [")]
        self.assertEqual(sorted(listed), sorted("INFO: Skipping [%s]..." % win_path(item.path)
                                                for item in self.files))
        self.assertIn("INFO: %d infected files found." % len(self.files), run.texts())
        self.assert_warnings(run, self.link_warnings(CYCLES))
        self.assertEqual(run.texts()[-1], "End")

    def clean(self, links):
        """Cleans the tree with the links; every file once, where it lies."""
        self.plant_tree(links)
        run = self.run_tool("/s", win_path(self.root), timeout=60)
        self.assertEqual(run.rc, 0)
        self.assertEqual(cleaning_lines(run), len(self.files))
        assert_cleaned(self, self.files, backup_suffix(run))
        self.assertEqual(work_files(self.root), [])
        self.assertEqual(verdicts(run), {win_path(item.path): CLEANED for item in self.files})
        self.assert_warnings(run, self.link_warnings(links))

    def test_Cleaning_EveryFileCleanedOnceWhereItLies(self):
        self.clean(CYCLES)

    def test_LinkToASibling_NotEnteredItsFilesCleanedWhereTheyLie(self):
        self.clean(CYCLES + SIBLING)

    def test_FolderMountedInsideItself_EnteredOnceAndTheWayBackNamed(self):
        self.plant_tree([])
        loop = os.path.join(self.root, "sub", "deeper", "mounted")
        os.makedirs(loop)
        if subprocess.run(["mount", "--bind", self.root, loop]).returncode != 0:
            self.skipTest("no bind mounts here")
        try:
            run = self.run_tool("/n", win_path(self.root), timeout=60)
        finally:
            subprocess.run(["umount", loop], check=True)
        self.assertEqual(run.rc, 0)
        listed = [t for t in run.texts() if t.startswith("INFO: Skipping [")]
        self.assertEqual(sorted(listed), sorted("INFO: Skipping [%s]..." % win_path(item.path)
                                                for item in self.files))
        self.assert_warnings(run, ["Not descending into [%s], it leads back into [%s]" % (
            self.under("sub\\deeper\\mounted"), self.under(""))])


if __name__ == "__main__":
    main()
