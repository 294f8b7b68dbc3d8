"""A 5 GiB file, cleaned with the right size and content: sizes and offsets past 2 GiB and 4 GiB
hold from the footer to the output. Labelled long (ctest -L long; LONG_TESTS=1 scripts/test.sh).

The file is variant 5 with a small encrypted part, so cleaning it is mostly a copy. The input is
sparse: the sample writer encrypts the first 64 KiB and writes the footer; the rest of the data,
which variant 5 leaves as it is, is the plain file's own bytes, written only where they are not
zero. The output is real: about 5 GiB of disk for the length of the test."""
import os
import subprocess

from harness import ToolTestCase, main, win_path
from decryption import CLEANED, DEMO_KEY_LIST, backup_suffix
from planting import verdicts
from samples import DEMO_KEYS, Sample, run_writer

GIB = 1024 ** 3
SIZE = 5 * GIB + 1234
HEAD = 64 * 1024
# Written at these offsets of the plain file (around 2 GiB, 4 GiB and the end); zeros elsewhere.
MARKS = [HEAD + 100, 2 * GIB - 8, 4 * GIB - 8, 4 * GIB + 12345, SIZE - 4096]
# Factors whose 64-bit product wraps round to 40,000: the encrypted part.
FACTORS = "%d,2" % (2 ** 63 + 20000)
ENCRYPTED = 40000


def write_at(path, offset, data):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(data)


class BigFileTests(ToolTestCase):
    def test_FiveGiBVariant5_CleanedToTheRightSizeAndContent(self):
        plain = os.path.join(self.tmp, "plain.vhd")
        with open(plain, "wb") as f:
            f.truncate(SIZE)
        marks = {offset: os.urandom(4096 if offset == SIZE - 4096 else 4000) for offset in MARKS}
        marks[0] = os.urandom(HEAD)
        for offset, data in marks.items():
            write_at(plain, offset, data)

        # The writer encrypts the head alone; its footer names the encrypted part, not the size.
        head = os.path.join(self.tmp, "head")
        with open(head, "wb") as f:
            f.write(marks[0])
        writer_out = os.path.join(self.tmp, "writer")
        os.makedirs(writer_out)
        rc, [small], stderr = run_writer(DEMO_KEY_LIST, writer_out, [head], "--variant", "5",
                                         "--factors", FACTORS)
        self.assertEqual(rc, 0, stderr)
        sample = Sample(small, 5)
        # Decrypted independently: the writer's first key is the first demo key.
        self.assertEqual(sample.decrypt(DEMO_KEYS[0]), marks[0])
        self.assertNotEqual(sample.data[:ENCRYPTED], marks[0][:ENCRYPTED])
        self.assertEqual(sample.data[ENCRYPTED:], marks[0][ENCRYPTED:])

        data = os.path.join(self.tmp, "data")
        os.makedirs(data)
        encrypted = os.path.join(data, "disk.vhd.k7Fz2Q")
        with open(encrypted, "wb") as f:
            f.truncate(SIZE + 540)
        write_at(encrypted, 0, sample.data)
        for offset, mark in marks.items():
            if offset:
                write_at(encrypted, offset, mark)
        write_at(encrypted, SIZE, sample.footer)

        run = self.run_tool("/s", win_path(data), timeout=1800)
        self.assertEqual(run.rc, 0)
        self.assertEqual(verdicts(run), {win_path(encrypted): CLEANED})
        output = os.path.join(data, "disk.vhd")
        self.assertEqual(os.path.getsize(output), SIZE)
        with open(output, "rb") as f:
            for offset, mark in sorted(marks.items()):
                f.seek(offset)
                self.assertEqual(f.read(len(mark)), mark, "at offset %d" % offset)
        # Every byte, zeros included.
        self.assertEqual(subprocess.run(["cmp", "--quiet", plain, output]).returncode, 0)
        backup = encrypted + backup_suffix(run)
        self.assertEqual(os.path.getsize(backup), SIZE + 540)
        with open(backup, "rb") as f:
            f.seek(SIZE)
            self.assertEqual(f.read(), sample.footer)


if __name__ == "__main__":
    main()
