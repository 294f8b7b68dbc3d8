"""Encrypted files planted anywhere in a tree, and what a cleaning run must leave of them.

The sample writer encrypts in a scratch directory (one call per variant); each sample is then
moved to its place, which may be deeper than the writer could reach, under any name that keeps
it recognisable."""
import os

from decryption import CLEANED, DEMO_KEY_LIST, NOT_CLEANED, read, sections
from samples import run_writer


class Planted:
    """One encrypted file: where it lies, what it decrypts to, and its encrypted bytes."""

    def __init__(self, path, plain, variant):
        self.path = path
        self.plain = plain
        self.variant = variant
        self.encrypted = None

    @property
    def output(self):
        """The decrypted file's place: the path without the file name's last extension."""
        return os.path.splitext(self.path)[0]

    def backup(self, suffix):
        """The backup's place, for the run's backup suffix (decryption.backup_suffix)."""
        return self.path + suffix


def plant(scratch, planted):
    """Writes every Planted's encrypted file at its path (directories are made as needed)."""
    by_variant = {}
    for item in planted:
        by_variant.setdefault(item.variant, []).append(item)
    for variant, items in sorted(by_variant.items()):
        work = os.path.join(scratch, "writer-%d" % variant)
        os.makedirs(os.path.join(work, "out"))
        inputs = []
        for index, item in enumerate(items):
            inputs.append(os.path.join(work, "%d.plain" % index))
            with open(inputs[-1], "wb") as f:
                f.write(item.plain)
        rc, written, stderr = run_writer(DEMO_KEY_LIST, os.path.join(work, "out"), inputs,
                                         "--variant", str(variant))
        if rc != 0 or len(written) != len(items):
            raise AssertionError("sample writer failed (%d): %s" % (rc, stderr))
        for item, path in zip(items, written):
            os.makedirs(os.path.dirname(item.path), exist_ok=True)
            os.rename(path, item.path)
            item.encrypted = read(item.path)
    return planted


def assert_cleaned(test, items, suffix):
    """Each item decrypted to its place, its encrypted file kept as its backup and gone from its
    own name."""
    for item in items:
        test.assertEqual(read(item.output), item.plain, item.path)
        test.assertEqual(read(item.backup(suffix)), item.encrypted, item.path)
        test.assertFalse(os.path.exists(item.path), item.path)


def verdicts(run):
    """{path as logged: "INFO: Cleaned", "ERROR: Not cleaned", or None when the file's section
    ends without either (its backup could not be made)}."""
    return {path: lines[-1] if lines[-1] in (CLEANED, NOT_CLEANED) else None
            for path, lines in sections(run).items()}


def cleaning_lines(run):
    """How many files the run set out to clean, a file met twice counted twice."""
    return len([t for t in run.texts() if t.startswith("INFO: Cleaning file [")])
