"""Encrypted files planted anywhere in a tree, and what a cleaning run must leave of them.

The sample writer encrypts in a scratch directory (one call per variant); each sample is then
moved to its place, which may be deeper than the writer could reach, under any name that keeps
it recognisable."""
import os
import re

from harness import BUILD
from samples import run_writer

KEY_BLOBS = os.path.join(BUILD, "key_database", "key_blobs.txt")
BACKUP_COUNTER = re.compile(r"^INFO: Backup: (\d+)$")


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

    def backup(self, counter):
        marker = ".backup_by_ovix" if counter == 0 else ".backup_%d_by_ovix" % counter
        return self.path + marker


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
        rc, written, stderr = run_writer(KEY_BLOBS, os.path.join(work, "out"), inputs,
                                         "--variant", str(variant))
        if rc != 0 or len(written) != len(items):
            raise AssertionError("sample writer failed (%d): %s" % (rc, stderr))
        for item, path in zip(items, written):
            os.makedirs(os.path.dirname(item.path), exist_ok=True)
            os.rename(path, item.path)
            with open(item.path, "rb") as f:
                item.encrypted = f.read()
    return planted


def backup_counter(run):
    """The run's backup counter, from its "Backup: N" line."""
    counters = [int(m.group(1)) for m in map(BACKUP_COUNTER.match, run.texts()) if m]
    if len(counters) != 1:
        raise AssertionError("expected one Backup line, got %r" % counters)
    return counters[0]


def verdicts(run):
    """{path as logged: [verdict, ...]} for every "Cleaning file [" line of the run; a verdict is
    the "INFO: Cleaned" or "ERROR: Not cleaned" line that follows before the next file, or None
    when neither does (the backup could not be made)."""
    head = "INFO: Cleaning file ["
    result, current = {}, None
    for text in run.texts() + [head + "]"]:
        if text.startswith(head) and text.endswith("]"):
            if current:
                result.setdefault(current[0], []).append(current[1])
            current = [text[len(head):-1], None]
        elif current and current[1] is None and text in ("INFO: Cleaned", "ERROR: Not cleaned"):
            current[1] = text
    return result


def read(path):
    with open(path, "rb") as f:
        return f.read()


def leftovers(root):
    """Half-written outputs anywhere under root."""
    return [os.path.join(d, n) for d, _, names in os.walk(root) for n in names
            if n.endswith(".partial_decryption")]
