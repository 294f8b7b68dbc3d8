"""Forced mode hands every file to Clean without a scan: Clean must still refuse whatever is not
an encrypted file of the family, and the tool's own backups, leaving them exactly as they were
with one line each that says what they are, while a real encrypted file given beside them is
cleaned."""
import os
import shutil

from harness import BUILD, ToolTestCase, main, win_path
import samples

KEY_LIST = os.path.join(BUILD, "key_database", "key_blobs.txt")
# A day in 2020: a refused file that kept these times was not rewritten, moved or replaced.
OLD_TIME_NS = 1_600_000_000_123_456_700


class ForcedCleanTests(ToolTestCase):
    def sample(self, plain, variant):
        out = os.path.join(self.tmp, "out-%d" % variant)
        os.makedirs(out)
        rc, paths, err = samples.run_writer(KEY_LIST, out, [plain], "--variant", str(variant))
        self.assertEqual((rc, len(paths)), (0, 1), err)
        return paths[0]

    def test_Forced_OtherFilesAndOwnBackups_CountedButLeftAsTheyWere(self):
        plain = os.path.join(self.tmp, "budget.xlsx")
        with open(plain, "wb") as f:
            f.write(os.urandom(3000))
        refused = os.path.join(self.tmp, "refused")
        os.makedirs(refused)
        contents = {
            # not the family's: no known extension and no footer magic, whatever the size
            "notes.txt": b"An ordinary text file.\r\n" * 100,
            "tiny.dat": b"\x01" * 100,
            "no-extension": b"\x00" * 1000,
            "empty.bin": b"",
        }
        # The tool's own backups hold encrypted content that a scan would otherwise take for a
        # victim: by name (variants 1 and 4) or by its footer (variant 5).
        encrypted = {variant: self.sample(plain, variant) for variant in (1, 4, 5)}
        for name, variant in (("budget.xlsx.BRSK.backup_by_ovix", 1),
                              ("budget.xlsx.QOVY.backup_12_by_ovix", 4),
                              ("budget.xlsx.KQZWTB.backup_7_by_ovix", 5)):
            with open(encrypted[variant], "rb") as f:
                contents[name] = f.read()
        for name, content in contents.items():
            path = os.path.join(refused, name)
            with open(path, "wb") as f:
                f.write(content)
            os.utime(path, ns=(OLD_TIME_NS, OLD_TIME_NS))
        before = {name: os.stat(os.path.join(refused, name)) for name in contents}
        # A real encrypted file, given by its own path so the walk of its directory cannot meet
        # the backup that cleaning it makes.
        control_dir = os.path.join(self.tmp, "control")
        os.makedirs(control_dir)
        control = os.path.join(control_dir, "budget.xlsx.BRSK")
        shutil.copy(encrypted[1], control)

        run = self.run_tool("/f", win_path(refused), win_path(control))

        self.assertEqual(run.rc, 0, run.stdout)
        texts = run.texts()
        self.assertIn("INFO: %d infected files found." % (len(contents) + 1), texts)
        self.assertIn("INFO: 1 file(s) cleaned.", texts)
        self.assertEqual([t for t in texts if t.startswith("INFO: Cleaning file [")],
                         ["INFO: Cleaning file [%s]" % win_path(control)])
        walk = texts[texts.index("INFO: Looking for infected files..."):]
        # Counted, and named once each, so that a reader of the log knows which they were.
        own = "INFO: Left as it is, a file of the tool's own [%s]"
        foreign = "INFO: Left as it is, not a file of the family [%s]"
        self.assertEqual(sorted(t for t in walk if win_path(refused) in t),
                         sorted((own if "_by_ovix" in name else foreign) %
                                win_path(os.path.join(refused, name)) for name in contents))
        self.assertEqual([t for t in walk if t.startswith(("ERROR: ", "WARNING: "))], [])
        with open(os.path.join(control_dir, "budget.xlsx"), "rb") as f, open(plain, "rb") as g:
            self.assertEqual(f.read(), g.read())
        self.assertEqual(sorted(os.listdir(refused)), sorted(contents))
        for name, content in contents.items():
            with self.subTest(name):
                path = os.path.join(refused, name)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), content)
                after = os.stat(path)
                self.assertEqual(after.st_mtime_ns, OLD_TIME_NS)
                # The inode change time moves with any rename, so a backup made and undone
                # would show here.
                self.assertEqual(after.st_ctime_ns, before[name].st_ctime_ns)
                self.assertEqual(after.st_ino, before[name].st_ino)

    def test_Forced_AUsersFileUnderTheToolsName_NotCalledItsOwnAndWhatItWroteNotCounted(self):
        plain = os.path.join(self.tmp, "budget.xlsx")
        with open(plain, "wb") as f:
            f.write(os.urandom(3000))
        folder = os.path.join(self.tmp, "mixed")
        os.makedirs(folder)
        victim = os.path.join(folder, "budget.xlsx.BRSK")
        shutil.copy(self.sample(plain, 1), victim)
        # Named as a backup of a file of the family, holding a user's words.
        lookalike = os.path.join(folder, "notes.txt.BRSK.backup_3_by_ovix")
        with open(lookalike, "wb") as f:
            f.write(b"my notes")

        run = self.run_tool("/f", win_path(os.path.join(folder, "*")))

        self.assertEqual(run.rc, 0, run.stdout)
        texts = run.texts()
        # The victim and the lookalike; not the decrypted file, nor the backup, whenever the
        # walk lists them.
        self.assertIn("INFO: 2 infected files found.", texts)
        self.assertIn("INFO: 1 file(s) cleaned.", texts)
        left = [t for t in texts if t.startswith("INFO: Left as it is, ")]
        self.assertEqual(left, ["INFO: Left as it is, named like the tool's own files but not "
                                "proven one [%s]" % win_path(lookalike)])
        with open(os.path.join(folder, "budget.xlsx"), "rb") as f, open(plain, "rb") as g:
            self.assertEqual(f.read(), g.read())
        with open(lookalike, "rb") as f:
            self.assertEqual(f.read(), b"my notes")


if __name__ == "__main__":
    main()
