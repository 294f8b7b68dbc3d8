"""Files of every variant made by the sample writer, cleaned by one run of the tool and compared
byte for byte with their originals; the files it must refuse; the key search; list-only and
forced runs."""
import os
import shutil
import struct
import subprocess
import tempfile

from harness import SEAMED_EXE, main, win_path
from decryption import (ARCHIVE, CLEANED, HIDDEN, READONLY, SYSTEM,
                        DecryptionTestCase, backup_suffix, digest, file_attributes, leftovers,
                        partial_path, work_files,
                        read, sections, set_attributes, summary, write)
from samples import MAGIC, write_blob_list

MIB = 1024 * 1024
SIZES = [0, 1, 15, 16, 17, 100, MIB + 3, 10 * MIB, 20 * MIB, 25 * MIB + 7]
# Plain content that fills whole AES blocks and ends like valid padding: it has none to remove.
PADDING_LOOKALIKE = "padding-lookalike.dat"
KNOWN_EXTENSIONS = {1: ".BRSK", 3: ".BRSK", 4: ".QOVY"}


class RoundTripTests(DecryptionTestCase):
    """One run cleans a tree holding every variant at every size and the footer's odd cases."""

    @classmethod
    def setUpClass(cls):
        cls.plain_dir = tempfile.mkdtemp(prefix="bristoke-plain-")
        cls.plain_files = {}
        for size in SIZES:
            path = write(os.path.join(cls.plain_dir, "size-%d.dat" % size), os.urandom(size))
            cls.plain_files[path] = size
        lookalike = os.urandom(4095) + b"\x01"
        cls.lookalike = write(os.path.join(cls.plain_dir, PADDING_LOOKALIKE), lookalike)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.plain_dir, ignore_errors=True)

    def test_EveryVariantSizeAndFooterCase_ByteIdenticalWithBackupAndAttributes(self):
        root = os.path.join(self.tmp, "data")
        expected = {}  # encrypted path -> (output path, digest of the expected output)
        for variant in (1, 3, 4, 5):
            inputs = [p for p, size in self.plain_files.items() if size or variant >= 4]
            if variant < 4:
                inputs.append(self.lookalike)
            written = self.write_samples(os.path.join(root, "v%d" % variant), inputs,
                                         "--variant", str(variant))
            for path, plain in zip(written, inputs):
                name = os.path.basename(path)
                suffix = name[len(os.path.basename(plain)):]
                if variant == 5:
                    # A random extension, which the output name drops like a known one.
                    self.assertNotIn(suffix.upper(), (".BRSK", ".QOVE", ".QOVY"))
                else:
                    self.assertEqual(suffix, KNOWN_EXTENSIONS[variant])
                expected[path] = (os.path.join(os.path.dirname(path), os.path.basename(plain)),
                                  digest(plain))

        # Footers whose fields do not simply describe the data before them.
        hundred = self.plain("hundred.dat", os.urandom(100))
        odd = os.path.join(root, "odd")
        content = read(hundred)
        odd_cases = [
            # (variant, options, encrypted name, expected output)
            (1, [], "v1-second-known-extension.dat.QOVE", content),
            (5, ["--factors", "10,3"], "v5-encrypted-30-of-100.dat.Q7ZX1K", content),
            (5, ["--factors", "1000,1000"], "v5-product-beyond-the-data.dat.Q7ZX1K", content),
            (5, ["--factors", "0,5"], "v5-product-zero.dat.Q7ZX1K", content),
            # 2^63 * 4 wraps to 0 modulo 2^64: nothing encrypted, everything copied.
            (5, ["--factors", "9223372036854775808,4"], "v5-product-wraps-to-zero.dat.Q7ZX1K",
             content),
            (4, ["--plain-size", "60"], "v4-cut-to-60.dat.QOVY", content[:60]),
            (4, ["--plain-size", "150"], "v4-extended-to-150.dat.QOVY", content + bytes(50)),
            (4, ["--plain-size", "0"], "v4-plain-size-zero.dat.QOVY", b""),
        ]
        for variant, options, name, data in odd_cases:
            [path] = self.write_samples(odd, [hundred], "--variant", str(variant), "--name", name,
                                        *options)
            output = os.path.splitext(name)[0]
            expected[path] = (os.path.join(odd, output),
                              digest(write(os.path.join(self.tmp, "expected", output), data)))
        # The encrypted part ends inside the second chunk and the copy runs on past a third.
        big = [p for p, size in self.plain_files.items() if size == 25 * MIB + 7][0]
        [path] = self.write_samples(odd, [big], "--variant", "5", "--factors", "5242880,3",
                                    "--name", "v5-15-MiB-encrypted.dat.Q7ZX1K")
        expected[path] = (os.path.join(odd, "v5-15-MiB-encrypted.dat"), digest(big))

        # Attributes of the encrypted file go to the decrypted one.
        marked = {os.path.join(root, "v1", "size-100.dat.BRSK"): ARCHIVE | HIDDEN | SYSTEM,
                  os.path.join(root, "v4", "size-17.dat.QOVY"): ARCHIVE | READONLY}
        for path, attributes in marked.items():
            set_attributes(path, attributes)
        encrypted_digests = {path: digest(path) for path in expected}

        run = self.run_tool("/s", win_path(root))

        self.assertEqual(run.rc, 0, run.stderr[-2000:])
        suffix = backup_suffix(run)
        logged = sections(run)
        paths = sorted(expected)
        backups = [path + suffix for path in paths]
        outputs = [expected[path][0] for path in paths]
        attributes = file_attributes(*(backups + outputs))
        for index, path in enumerate(paths):
            output, output_digest = expected[path]
            with self.subTest(file=os.path.relpath(path, root)):
                self.assertEqual(logged[win_path(path)][-1], CLEANED)
                self.assertFalse(os.path.exists(path))
                self.assertEqual(digest(backups[index]), encrypted_digests[path])
                self.assertEqual(digest(output), output_digest)
                self.assertEqual(attributes[len(paths) + index], attributes[index])
        for path, value in marked.items():
            self.assertEqual(attributes[paths.index(path)], value)
        self.assertEqual(work_files(root), [])
        self.assertEqual(summary(run), (len(expected), len(expected)))


class FailureTests(DecryptionTestCase):
    def test_FilesItCannotDecrypt_BackUnchangedNothingLeftRunGoesOn(self):
        root = os.path.join(self.tmp, "data")
        hundred = self.plain("hundred.dat", os.urandom(100))
        pem = os.path.join(self.tmp, "foreign.pem")
        subprocess.run(["openssl", "genrsa", "-out", pem, "2048"], check=True,
                       stderr=subprocess.DEVNULL)
        foreign_keys = write_blob_list(os.path.join(self.tmp, "foreign.txt"), [pem])

        def sample(name, *options, key_list=None, directory=root):
            kwargs = {"key_list": key_list} if key_list else {}
            [path] = self.write_samples(directory, [hundred], "--name", name, *options, **kwargs)
            return path

        # The first key opens the key block, only the second the IV block: no key opens both.
        first = read(sample("first-key.dat.QOVY", "--variant", "4", directory=self.tmp))
        second = read(sample("second-key.dat.QOVY", "--variant", "4", "--key", "1",
                             directory=self.tmp))
        spliced = write(os.path.join(root, "spliced.dat.QOVY"),
                        first[:-520 + 256] + second[-520 + 256:-8] + first[-8:])
        # (encrypted file, message)
        cases = [
            (sample("foreign-key.dat.BRSK", key_list=foreign_keys), "Loaded keys don't match."),
            (spliced, "Loaded keys don't match."),
            # 112 bytes of data cannot hold 50 plain bytes: they need 64.
            (sample("size-disagrees.dat.BRSK", "--plain-size", "50"),
             "Not valid Bristoke file. Footer doesn't match."),
            (sample("size-disagrees-v3.dat.BRSK", "--variant", "3", "--plain-size", "200"),
             "Not valid Bristoke file. Footer doesn't match."),
            (write(os.path.join(root, "shorter-than-footer.dat.QOVY"), os.urandom(519)),
             "Not valid Bristoke file."),
            (write(os.path.join(root, "shorter-than-probe.dat.BRSK"), os.urandom(7)),
             "Not valid Bristoke file."),
            (write(os.path.join(root, "empty.dat.BRSK"), b""), "Not valid Bristoke file."),
            # Nothing but an extension: there is no name to decrypt to.
            (sample(".BRSK", directory=os.path.join(root, "nameless")),
             "Can't get output filename."),
            # No volume holds a file of 2^63 bytes: refused before anything is written.
            (sample("size-out-of-reach.dat.QOVY", "--variant", "4", "--plain-size", str(2 ** 63)),
             "Not enough free space for [%s]: %d bytes needed, " %
             (win_path(os.path.join(root, "size-out-of-reach.dat")), 2 ** 63)),
            (sample("name-is-a-directory.dat.BRSK"),
             "Can't write the decrypted file to [%s], it is a directory." %
             win_path(os.path.join(root, "name-is-a-directory.dat"))),
        ]
        directory_output = os.path.join(root, "name-is-a-directory.dat")
        write(os.path.join(directory_output, "inside.txt"), b"inside")
        # A file of the user's under a name the tool gives partial outputs, of a cleaning that
        # no run is at: named, left as it is, and in the way of no other cleaning.
        name_taken = sample("partial-name-taken.dat.BRSK")
        users_partial = write(partial_path(name_taken, 0), b"mine")
        good = sample("good.dat.BRSK")
        contents = {path: read(path) for path, _ in cases + [(name_taken, None)]}

        run = self.run_tool("/s", win_path(root))

        # Files were not cleaned.
        self.assertEqual(run.rc, 2)
        self.assertEqual(read(os.path.join(root, "good.dat")), read(hundred))
        for path, message in cases:
            with self.subTest(file=os.path.basename(path)):
                self.assert_not_cleaned(run, path, contents[path], message,
                                        whole=not message.endswith(", "))
                output = path[:path.rindex(".")]
                if output not in (directory_output, os.path.join(root, "nameless", "")):
                    self.assertFalse(os.path.exists(output), output)
        self.assertIn("INFO: Left as it is, named like the tool's own files but not proven one "
                      "[%s]" % win_path(users_partial), run.texts())
        self.assertIn("INFO: Cleaned", sections(run)[win_path(name_taken)])
        self.assertEqual(read(name_taken + backup_suffix(run)), contents[name_taken])
        self.assertEqual(read(os.path.join(directory_output, "inside.txt")), b"inside")
        self.assertEqual(read(users_partial), b"mine")
        self.assertEqual(leftovers(root), sorted([users_partial, good + backup_suffix(run),
                                                  name_taken + backup_suffix(run)]))
        self.assertEqual(summary(run), (len(cases) + 2, 2))


class KeySearchTests(DecryptionTestCase):
    def test_KeyFoundInTheTable_ThenTriedFirstForTheNextFiles(self):
        # The seamed tool reports every RSA decryption: one footer block tried with one key.
        plain = [self.plain("file-%d.dat" % i, os.urandom(64)) for i in range(4)]
        out = os.path.join(self.tmp, "data")
        under_third_key = self.write_samples(out, plain[:3], "--variant", "4", "--key", "2")
        under_first_key = self.write_samples(out, plain[3:], "--variant", "4", "--key", "0")
        files = under_third_key + under_first_key
        # Given one by one, the files are cleaned in this order.
        run = self.run_tool("--seam-trace-rsa", "/s", *[win_path(p) for p in files],
                            exe=self.tool_copy(source=SEAMED_EXE))
        self.assertEqual(run.rc, 0)
        self.assertEqual(summary(run), (4, 4))
        tries = [tuple(line.split()[1:]) for line in run.stderr.splitlines()
                 if line.startswith("rsa-decrypt ")]
        self.assertGreaterEqual(len(tries), 3, run.stderr)
        first, second, third = (key for key, _ in tries[:3])
        self.assertEqual(len({first, second, third}), 3, tries)
        # The first file walks the table from its start to the third key, which opens its key
        # block and its IV block, and both blocks of the two files after it at the first trial.
        # The fourth file's key block fails with that key, and the table is walked again from
        # its first key, which opens both blocks.
        self.assertEqual(tries, [(first, "failed"), (second, "failed")] + [(third, "ok")] * 6 +
                         [(third, "failed"), (first, "ok"), (first, "ok")])
        for plain_path, encrypted in zip(plain, files):
            self.assertEqual(read(os.path.splitext(encrypted)[0]), read(plain_path))


class ModeTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        self.root = os.path.join(self.tmp, "data")
        plain = self.plain("report.dat", os.urandom(100))
        self.family = [self.write_samples(self.root, [plain], "--variant", str(v),
                                          "--name", name)[0]
                       for v, name in ((1, "a.dat.BRSK"), (4, "b.dat.QOVY"), (5, "c.dat.X1Y2Z3"))]
        self.others = [
            write(os.path.join(self.root, "notes.txt"), os.urandom(600)),
            # Only the upper-case extensions are the family's: this one needs a footer magic.
            write(os.path.join(self.root, "lower.dat.brsk"), read(self.family[0])),
            # The tool's own backups hold encrypted content; they are never taken for victims.
            write(os.path.join(self.root, "old.dat.BRSK.backup_7_by_ovix"), read(self.family[0])),
        ]

    def snapshot(self):
        return {os.path.join(d, n): read(os.path.join(d, n))
                for d, _, names in os.walk(self.root) for n in names}

    def test_ListOnly_SkippingLinesAndCountsNothingChanged(self):
        # The footer magic at the end of 540 bytes makes a file the family's; 539 are too few.
        magic = struct.pack("<II", *MAGIC)
        family = self.family + [write(os.path.join(self.root, "magic-540.dat.ABC"),
                                      bytes(532) + magic)]
        write(os.path.join(self.root, "magic-539.dat.ABC"), bytes(531) + magic)
        before = self.snapshot()
        run = self.run_tool("/s", "/n", win_path(self.root))
        self.assertEqual(run.rc, 0)
        skipped = sorted(t for t in run.texts() if t.startswith("INFO: Skipping ["))
        self.assertEqual(skipped, sorted("INFO: Skipping [%s]..." % win_path(p) for p in family))
        self.assertEqual(summary(run), (4, 0))
        self.assertEqual(sections(run), {})
        self.assertEqual(self.snapshot(), before)

    def test_Forced_FilesNotTheFamilysNeverDecryptedCountedInfectedNotCleaned(self):
        before = self.snapshot()
        # Given one by one: a forced walk of the directory could meet the run's own backups.
        run = self.run_tool("/f", *[win_path(p) for p in self.family + self.others])
        self.assertEqual(run.rc, 0)
        self.assertEqual(summary(run), (6, 3))
        self.assertEqual(sorted(sections(run)), sorted(win_path(p) for p in self.family))
        for path in self.others:
            self.assertEqual(read(path), before[path])
        self.assertEqual(sorted(leftovers(self.root)),
                         sorted([self.others[2]] +
                                [p + backup_suffix(run) for p in self.family]))


if __name__ == "__main__":
    main()
