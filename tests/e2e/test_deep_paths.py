"""Encrypted files far below the 260-character limit of plain paths, and under names that only
the "\\\\?\\" form keeps (trailing dots and spaces), non-ASCII names and names starting with
"-": each is found, cleaned once and logged in the form the caller gave its root."""
import os

from harness import ToolTestCase, main, wine_env, win_path
from decryption import CLEANED, backup_suffix, read, work_files
from planting import Planted, cleaning_lines, plant, verdicts

# Wine builds a Unix path of its prefix's dosdevices link and the rest of the Windows path,
# and Linux refuses paths of 4,096 bytes and more: that is the deepest a file can lie here.
# Each planted file needs room for its backup name after it.
BACKUP_ROOM = len(".backup_99999_by_ovix")
WINE_DRIVE = os.path.join(wine_env()["WINEPREFIX"], "dosdevices", "z:")
DEEPEST = min(4000, 4095 - len(os.fsencode(WINE_DRIVE)) + len("Z:") - BACKUP_ROOM)

NAMES = [
    ("Quarterly report 2018.xlsx.BRSK", 1),
    ("\u041e\u0442\u0447\u0451\u0442 \u0437\u0430 \u043c\u0430\u0439.docx.QOVY", 4),
    ("\u5199\u771f \u4e00\u89a7.jpg.x7Kq2p", 5),
    ("Cr\u00e8me br\u00fbl\u00e9e \u00e0 la fran\u00e7aise.pdf.BRSK", 3),
    ("-s notes.txt.BRSK", 1),
    ("-n.QOVE", 1),
    # The system drops a trailing dot or space from every name of a plain path.
    ("Archive.\\old plan.doc.QOVY", 4),
    ("Old \\budget.xls.BRSK", 1),
]
# (length of the Windows path, variant): variant 5 is recognised by opening the file.
DEPTHS = [(300, 5), (1000, 1), (DEEPEST, 5), (DEEPEST, 4)]
EXTENSIONS = {1: ".BRSK", 4: ".QOVY", 5: ".a9Zt3q"}


def brief(path):
    """A path short enough for a failure message."""
    return path if len(path) < 90 else path[:40] + "..." + path[-40:]


def deep_name(root, target, serial, extension):
    """A relative name under root whose Windows path has exactly target characters: levels of
    100-character directory names, then a file name of 100 to 200 characters for the rest."""
    relative = []
    while target - len(win_path(os.path.join(root, *relative))) - 1 > 200:
        relative.append("Ebene %02d %s " % (len(relative), "u" if relative else "\u00fc") + "d" * 88)
    room = target - len(win_path(os.path.join(root, *relative))) - 1
    head = "deep %d " % serial
    return os.path.join(*relative, head + "x" * (room - len(head) - len(extension)) + extension)


class DeepPathTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "data")
        relatives = [name.replace("\\", os.sep) for name, _ in NAMES]
        variants = [variant for _, variant in NAMES]
        for serial, (target, variant) in enumerate(DEPTHS):
            relatives.append(deep_name(self.root, target, serial, EXTENSIONS[variant]))
            variants.append(variant)
        self.files = [Planted(os.path.join(self.root, relative), os.urandom(1000 + i), variant)
                      for i, (relative, variant) in enumerate(zip(relatives, variants))]
        for item, (target, _) in zip(self.files[-len(DEPTHS):], DEPTHS):
            self.assertEqual(len(win_path(item.path)), target)
        self.assertGreaterEqual(DEEPEST, 3800,
                                "the Wine prefix's path leaves too little room for a deep test")
        plant(self.tmp, self.files)
        # Not encrypted, and reachable only through the "\\?\" form.
        self.bystander = os.path.join(self.root, "Old ", "report.")
        with open(self.bystander, "wb") as f:
            f.write(b"not encrypted" * 100)

    def assert_cleaned(self, run, shown):
        """Every planted file cleaned once, logged as shown(path), its backup kept."""
        self.assertEqual(run.rc, 0, run.stdout[-2000:])
        self.assertEqual(run.texts()[-1], "End")
        self.assertNotIn("\\\\?\\", run.log)
        suffix = backup_suffix(run)
        seen = verdicts(run)
        self.assertEqual(cleaning_lines(run), len(self.files))
        for item in self.files:
            with self.subTest(path=brief(item.path), length=len(win_path(item.path))):
                self.assertEqual(seen.pop(shown(item.path), None), CLEANED,
                                 [t for t in run.texts() if "GLE" in t][:1])
                self.assertEqual(read(item.output), item.plain)
                self.assertEqual(read(item.backup(suffix)), item.encrypted)
                self.assertFalse(os.path.exists(item.path))
        self.assertEqual([brief(path) for path in seen], [])
        self.assertEqual(read(self.bystander), b"not encrypted" * 100)
        self.assertEqual(work_files(self.root), [])
        summary = ["INFO: %d infected files found." % len(self.files),
                   "INFO: %d file(s) cleaned." % len(self.files)]
        self.assertEqual([t for t in run.texts() if t in summary], summary)

    def test_AbsoluteRoot_EveryFileCleanedAndLoggedInTheGivenForm(self):
        run = self.run_tool("/s", win_path(self.root))
        self.assert_cleaned(run, win_path)

    def test_RelativeRoot_EveryFileCleanedAndLoggedRelative(self):
        run = self.run_tool("/s", "data", cwd=self.tmp)
        self.assert_cleaned(
            run, lambda path: os.path.relpath(path, self.tmp).replace(os.sep, "\\"))

    def test_ListOnly_EveryFileListedOnceAndNothingChanged(self):
        run = self.run_tool("/n", win_path(self.root))
        listed = [t[len("INFO: Skipping ["):-len("]...")] for t in run.texts()
                  if t.startswith("INFO: Skipping [")]
        self.assertEqual(sorted(map(brief, listed)),
                         sorted(brief(win_path(item.path)) for item in self.files))
        for item in self.files:
            self.assertEqual(read(item.path), item.encrypted)

    def test_LeadingDashOnTheCommandLine_ASwitchLetterMakesItASwitch(self):
        # "-s notes.txt.BRSK" is the silent switch, as any argument starting with "-" or "/"
        # and a switch letter; ".\" in front makes it a path.
        switch_like = self.files[4]
        cwd = os.path.dirname(switch_like.path)
        run = self.run_tool("/f", os.path.basename(switch_like.path), cwd=cwd)
        self.assertEqual(run.rc, 1)
        self.assertIn("WARNING: SilentMode Enabled", run.texts())
        self.assertEqual(read(switch_like.path), switch_like.encrypted)

        run = self.run_tool("/s", ".\\" + os.path.basename(switch_like.path), cwd=cwd)
        self.assertEqual(verdicts(run), {".\\-s notes.txt.BRSK": CLEANED})
        self.assertEqual(read(switch_like.output), switch_like.plain)


if __name__ == "__main__":
    main()
