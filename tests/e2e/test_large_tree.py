"""A large tree: a few of the family's files among many others with assorted extensions, which
the scan must open and read. Listed and cleaned, nothing missed and nothing else touched.

10,000 files by default; BRISTOKE_TREE_FILES sets the count (the ctest entry
e2e.large_tree.100k, labelled long, runs 100,000)."""
import os
import random

from decryption import CLEANED, backup_suffix, read, work_files
from harness import ToolTestCase, main, win_path
from planting import (Planted, assert_cleaned, cleaning_lines, plant,
                      verdicts)

FILES = int(os.environ.get("BRISTOKE_TREE_FILES", "10000"))
FAMILY = 20
PER_DIRECTORY = 500
# Extensions of the others: none of them the family's, though some come close.
OTHER_EXTENSIONS = [".txt", ".doc", ".jpg", ".pdf", ".dat", ".xls", "", ".brsk", ".qovy",
                    ".BRSK.bak", ".BRSKX", ".backup_by_ovix.txt"]
VARIANT_EXTENSIONS = {1: ".BRSK", 3: ".QOVE", 4: ".QOVY", 5: ".p0L9kq"}
# Not the family's: the last 8 bytes hold the first magic value and a wrong second one.
NEAR_MISS = b"\0" * 532 + bytes.fromhex("1829899382820300")


def other_content(index):
    """Mostly empty files; every tenth long enough for the scan to read its tail."""
    if index % 10 == 3:
        return bytes([index % 251]) * 700
    if index % 97 == 5:
        return NEAR_MISS
    return b""


class LargeTreeTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "tree")
        self.others = []
        for index in range(FILES):
            directory = os.path.join(self.root, "d%03d" % (index // (PER_DIRECTORY * 10)),
                                     "e%02d" % (index // PER_DIRECTORY % 10))
            if index % PER_DIRECTORY == 0:
                os.makedirs(directory, exist_ok=True)
            path = os.path.join(directory, "f%06d%s" % (
                index, OTHER_EXTENSIONS[index % len(OTHER_EXTENSIONS)]))
            with open(path, "wb") as f:
                f.write(other_content(index))
            self.others.append(path)
        rng = random.Random(FILES)
        directories = sorted({os.path.dirname(p) for p in self.others})
        variants = [1, 3, 4, 5] * (FAMILY // 4)
        self.family = plant(self.tmp, [
            Planted(os.path.join(rng.choice(directories),
                                 "victim%02d.doc%s" % (n, VARIANT_EXTENSIONS[variant])),
                    os.urandom(600 + n), variant) for n, variant in enumerate(variants)])

    def listed(self, run):
        return sorted(t[len("INFO: Skipping ["):-len("]...")] for t in run.texts()
                      if t.startswith("INFO: Skipping ["))

    def test_ListedScannedAndCleaned_OnlyTheFamilysFilesAndEachOnce(self):
        everything = sorted(win_path(p) for p in self.others + [f.path for f in self.family])
        run = self.run_tool("/f", "/n", win_path(self.root), timeout=1800)
        self.assertEqual(run.rc, 0)
        # Compared by count first: a difference of 100,000 paths is no message.
        self.assertEqual(len(self.listed(run)), len(everything))
        self.assertEqual(self.listed(run), everything)

        run = self.run_tool("/n", win_path(self.root), timeout=1800)
        self.assertEqual(run.rc, 0)
        self.assertEqual(self.listed(run), sorted(win_path(f.path) for f in self.family))
        self.assertIn("INFO: %d infected files found." % FAMILY, run.texts())

        run = self.run_tool("/s", win_path(self.root), timeout=1800)
        self.assertEqual(run.rc, 0)
        self.assertEqual(verdicts(run), {win_path(f.path): CLEANED for f in self.family})
        self.assertEqual(cleaning_lines(run), FAMILY)
        self.assertIn("INFO: %d file(s) cleaned." % FAMILY, run.texts())
        suffix = backup_suffix(run)
        assert_cleaned(self, self.family, suffix)
        after = sorted(os.path.join(d, n) for d, _, names in os.walk(self.root) for n in names)
        expected = sorted(self.others + [f.output for f in self.family] +
                          [f.backup(suffix) for f in self.family])
        self.assertEqual(len(after), len(expected))
        self.assertEqual(after, expected)
        for index in range(0, FILES, 7):
            self.assertEqual(read(self.others[index]), other_content(index))
        self.assertEqual(work_files(self.root), [])


if __name__ == "__main__":
    main()
