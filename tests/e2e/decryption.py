"""What the decryption tests share: samples written with the demo keys, the per-file sections of
a run's log, the run's backup names, and a Windows helper that holds files and reads attributes."""
import glob
import hashlib
import os
import re
import subprocess

from harness import BUILD, ToolTestCase, command, wine_env, win_path
from samples import run_writer

DEMO_KEY_LIST = os.path.join(BUILD, "key_database", "key_blobs.txt")
FILE_HELPER = os.path.join(BUILD, "tests", "file_helper.exe")
# The tool's own names for a file while it is cleaned, its partial output, and the note that
# keeps a long name.
WORK_FILE = re.compile(r"\.(partial|cleaning|name)_(-?\d+_)?by_ovix$")
NOT_CLEANED = "ERROR: Not cleaned"
CLEANED = "INFO: Cleaned"
SECTION = re.compile(r"^INFO: Cleaning file \[(.*)\]$")
# What the walker says between two files about a subdirectory it leaves out.
WALK_WARNINGS = ("WARNING: Can't search directory [", "WARNING: Not descending into [")
ARCHIVE, READONLY, HIDDEN, SYSTEM = 0x20, 0x1, 0x2, 0x4


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def snapshot(folder):
    """Every entry under folder, links not followed: its bytes' digest, mode and modification
    time, for checks that nothing there changed."""
    entries = {}
    for directory, names, files in os.walk(folder):
        for name in names + files:
            path = os.path.join(directory, name)
            status = os.lstat(path)
            found = None
            if os.path.isfile(path) and not os.path.islink(path):
                found = digest(path)
            entries[os.path.relpath(path, folder)] = (found, status.st_mode, status.st_mtime_ns)
    return entries


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def file_attributes(*paths):
    """Attributes as Windows programs see them under Wine."""
    out = subprocess.run(command(FILE_HELPER, "attributes", *[win_path(p) for p in paths]),
                         check=True, stdout=subprocess.PIPE, env=wine_env(), timeout=60).stdout
    return [int(line, 16) for line in out.decode().split()]


def security(*paths):
    """Owner and access list of each file as SDDL, as Windows programs see them under Wine."""
    out = subprocess.run(command(FILE_HELPER, "security", *[win_path(p) for p in paths]),
                         check=True, stdout=subprocess.PIPE, env=wine_env(), timeout=60).stdout
    return out.decode().split()


def set_attributes(path, attributes):
    subprocess.run(command(FILE_HELPER, "set-attributes", "%x" % attributes, win_path(path)),
                   check=True, env=wine_env(), timeout=60)


def own_suffix(kind, counter):
    """The extension of the tool's own file of a kind ("backup", "cleaning", "partial")."""
    return ".%s_by_ovix" % kind if counter == 0 else ".%s_%d_by_ovix" % (kind, counter)


def backup_suffix(run, kind="backup"):
    """The backup extension of the run's counter (or that of another kind of own file)."""
    return own_suffix(kind, run_counter(run))


def summary(run):
    """(infected, cleaned) from the run's closing lines."""
    texts = run.texts()
    infected = [int(t.split()[1]) for t in texts if t.endswith(" infected files found.")]
    cleaned = [int(t.split()[1]) for t in texts if t.endswith(" file(s) cleaned.")]
    return infected[0], cleaned[0]


def sections(run):
    """The lines the cleaner logged for each file, by the path it was given, from its "Cleaning
    file [" line to its verdict ("Cleaned" or "Not cleaned"), or to the next section or the
    rule that closes the walk where it has none; the walker's warnings about subdirectories are
    left out."""
    result, current = {}, None
    for text in run.texts():
        match = SECTION.match(text)
        if match:
            current = result.setdefault(match.group(1), [])
        elif current is not None and (text.startswith("INFO: ") and text.endswith(
                " infected files found.")):
            break
        if current is not None and not text.startswith(WALK_WARNINGS):
            current.append(text)
        if text in (CLEANED, NOT_CLEANED):
            current = None
    for lines in result.values():
        # The walk's closing rule and the blank line before the next file are not the file's.
        while lines and (lines[-1] == "" or set(lines[-1]) == {"-"}):
            lines.pop()
    return result


def tag(name):
    """The tag the tool gives a file name: FNV-1a over its UTF-16 units, ASCII letters upper."""
    upper = "".join(c.upper() if "a" <= c <= "z" else c for c in name)
    value = 2166136261
    for byte in upper.encode("utf-16-le"):
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return "~%08X" % value


def backup_name(name, counter, kind="backup"):
    """The tool's backup name for a file name (or its name of another kind): the whole name and
    its suffix when they fit in 255 characters, otherwise the name's start, its tag and the
    suffix."""
    suffix = own_suffix(kind, counter)
    if len(name) + len(suffix) <= 255:
        return name + suffix
    return name[:255 - len(suffix) - 9] + tag(name) + suffix


def run_counter(run):
    """The run's backup counter, from its "Backup: N" line."""
    [counter] = [int(t[len("INFO: Backup: "):]) for t in run.texts()
                 if t.startswith("INFO: Backup: ")]
    return counter


def partial_path(encrypted, counter):
    """Where a cleaning whose names carry the counter writes the decrypted data of an encrypted
    file until it is complete."""
    return os.path.join(os.path.dirname(encrypted),
                        backup_name(os.path.basename(encrypted), counter, "partial"))


def cleaning_path(encrypted, counter):
    """The name an encrypted file has while a run with that counter cleans it."""
    return os.path.join(os.path.dirname(encrypted),
                        backup_name(os.path.basename(encrypted), counter, "cleaning"))


def work_files(root):
    """Files being cleaned, partial outputs and name notes anywhere under root."""
    return sorted(os.path.join(d, n) for d, _, names in os.walk(root) for n in names
                  if WORK_FILE.search(n))


def leftovers(root):
    """Files being cleaned, partial outputs, name notes and backups anywhere under root."""
    return sorted(work_files(root) +
                  glob.glob(os.path.join(root, "**", "*.backup_*by_ovix"), recursive=True) +
                  glob.glob(os.path.join(root, "**", ".*.backup_*by_ovix"), recursive=True))


class DecryptionTestCase(ToolTestCase):
    def write_samples(self, out_dir, inputs, *options, key_list=DEMO_KEY_LIST):
        os.makedirs(out_dir, exist_ok=True)
        rc, written, stderr = run_writer(key_list, out_dir, inputs, *options)
        self.assertEqual(rc, 0, stderr)
        self.assertEqual(len(written), len(inputs))
        return written

    def plain(self, name, data, directory=None):
        return write(os.path.join(directory or os.path.join(self.tmp, "plain"), name), data)

    def assert_not_cleaned(self, run, encrypted, content, message, whole=True):
        """The file's decryption failed with the message (or a line starting with it, unless
        whole); it is back, unchanged, and no backup of it is left."""
        lines = sections(run).get(win_path(encrypted))
        self.assertIsNotNone(lines, "no section for %s in\n%s" % (encrypted, "\n".join(run.texts())))
        self.assertEqual(lines[-1], NOT_CLEANED, lines)
        if whole:
            self.assertIn("INFO: " + message, lines)
        else:
            self.assertTrue(any(t.startswith("INFO: " + message) for t in lines), lines)
        self.assertEqual(read(encrypted), content)
        directory = os.path.dirname(encrypted)
        self.assertFalse([n for n in os.listdir(directory)
                          if n.startswith(os.path.basename(encrypted) + ".backup_")])


class SmallSampleTestCase(DecryptionTestCase):
    """Samples of 100 random bytes under chosen names, and what a cleaned one leaves."""

    def setUp(self):
        super().setUp()
        self.hundred = self.plain("hundred.dat", os.urandom(100))

    def sample(self, directory, name, *options, plain=None):
        [path] = self.write_samples(directory, [plain or self.hundred], "--name", name, *options)
        return path

    def assert_cleaned(self, run, encrypted, plain):
        """The file's section ends "Cleaned", its output is the plain content and its backup
        lies beside it; returns the backup's path."""
        self.assertEqual(sections(run)[win_path(encrypted)][-1], CLEANED)
        self.assertEqual(read(os.path.splitext(encrypted)[0]), read(plain))
        backup = os.path.join(os.path.dirname(encrypted),
                              backup_name(os.path.basename(encrypted), run_counter(run)))
        self.assertTrue(os.path.exists(backup), backup)
        self.assertFalse(os.path.exists(encrypted))
        return backup
