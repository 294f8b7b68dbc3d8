"""A tree that holds links to folders: one to a folder outside it, one to a folder above it and
one to a folder inside it. None is entered, whatever it leads to: each is named by one warning,
in the log and on the console, and nothing outside the tree is listed, cleaned or changed (every
byte, mode and time of the outside folder is the same after the run)."""
import os

from harness import ToolTestCase, main, win_path
from decryption import WALK_WARNINGS, backup_suffix, snapshot, summary
from planting import Planted, assert_cleaned, plant

# Relative to the scratch directory: the tree's files (name, variant; None for a plain file),
# the outside folder's, and the links in the tree (name, target).
TREE = [("data\\a.doc.BRSK", 1), ("data\\sub\\b.xls.QOVY", 4), ("data\\other\\d.txt.BRSK", 3),
        ("data\\plain.txt", None)]
OUTSIDE = [("outside\\e.doc.BRSK", 1), ("outside\\deeper\\f.pdf.BRSK", 3),
           ("outside\\notes.txt", None)]
LINKS = [("data\\out", "outside"), ("data\\sub\\above", "."), ("data\\sub\\inside", "data\\other")]
LINK = "Not descending into [%s], it is a link to another place: give that place as a path to " \
       "clean it"


class LinksOutsideTests(ToolTestCase):
    def stage(self):
        def at(name):
            return os.path.join(self.tmp, *name.split("\\"))
        planted = [Planted(at(name), os.urandom(400 + i), variant)
                   for i, (name, variant) in enumerate(TREE + OUTSIDE) if variant]
        plant(self.tmp, planted)
        for name, variant in TREE + OUTSIDE:
            if variant is None:
                with open(at(name), "wb") as f:
                    f.write(b"plain text")
        for name, target in LINKS:
            os.symlink(at(target), at(name))
        self.root = at("data")
        self.outside = at("outside")
        self.inside = [item for item in planted if item.path.startswith(self.root + os.sep)]
        self.tree_files = [at(name) for name, _ in TREE]

    def check_run(self, *switches):
        self.stage()
        before = snapshot(self.outside)
        run = self.run_tool(*switches, win_path(self.root), timeout=120)
        self.assertEqual(run.rc, 0)
        self.assertEqual(snapshot(self.outside), before)
        # Nothing is named through a link or outside the tree.
        root = win_path(self.root)
        named = [t for t in run.texts() + run.stdout.splitlines()
                 if win_path(self.outside) in t or any(
                     root + "\\" + link.split("\\", 1)[1] + "\\" in t for link, _ in LINKS)]
        self.assertEqual(named, [])
        warnings = [LINK % (root + "\\" + link.split("\\", 1)[1]) for link, _ in LINKS]
        self.assertEqual(sorted(t for t in run.texts() if t.startswith(WALK_WARNINGS)),
                         sorted("WARNING: " + text for text in warnings))
        console = run.stdout.replace("\r\n", "\n").split("\n")
        self.assertEqual(sorted(line for line in console if line.startswith("Not descending")),
                         sorted(warnings))
        self.assertEqual(run.texts()[-1], "End")
        return run

    def test_ForcedListing_EveryFileOfTheTreeListedAndNoneOutside(self):
        run = self.check_run("/f", "/n")
        listed = [t for t in run.texts() if t.startswith("INFO: Skipping [")]
        self.assertEqual(sorted(listed), sorted("INFO: Skipping [%s]..." % win_path(path)
                                                for path in self.tree_files))

    def test_Cleaning_TheTreesFilesCleanedAndNothingOutsideChanged(self):
        run = self.check_run("/s")
        self.assertEqual(summary(run), (len(self.inside), len(self.inside)))
        assert_cleaned(self, self.inside, backup_suffix(run))


if __name__ == "__main__":
    main()
