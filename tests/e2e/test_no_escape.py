"""A user who may write the walked folder acts while a run cleans it. Right before a chosen system
call of the cleaning (the test build pauses there and waits for the test) the folder is moved away
and a link to a protected folder put in its place, or a link that was given as the path is pointed
at the protected folder, or the name the call is about to use is given to a hard link to a
protected file. Whatever the moment, nothing in the protected folder is new or changed in bytes,
mode or date; no file is said "Cleaned" whose output is not where the run opened its folder; and
the encrypted content is still under some name in the tree. The partial output is closed to all
but its owner from its first moment."""
import os
import time

from harness import main, read_log, win_path
from decryption import CLEANED, SmallSampleTestCase, backup_name, cleaning_path, partial_path, \
    read, snapshot

NAME = "x.doc.BRSK"
OUTPUT = "x.doc"
EARLIER = 77

# Where the run pauses: (what, function, text), text being part of the name opened, or of a
# rename's new name, or "<delete>" or "<attributes>".
MOMENTS = [
    ("the file's first open", "NtCreateFile", NAME),
    ("the first rename", "NtSetInformationFile", ".cleaning_"),
    ("the partial output's creation", "NtCreateFile", ".partial_"),
    ("the output's attributes", "NtSetInformationFile", "<attributes>"),
    ("the output's placement", "NtSetInformationFile", "=" + OUTPUT),
    ("the backup name", "NtSetInformationFile", ".backup_"),
    ("a stale partial output's removal", "NtSetInformationFile", "<delete>"),
]
ATTACKS = ["folder moved, link in its place", "link given as the path retargeted",
           "name given to a hard link"]


def holders(tree, content):
    """Files below tree, links not followed, that hold content."""
    found = []
    for root, _, files in os.walk(tree):
        for name in files:
            path = os.path.join(root, name)
            if not os.path.islink(path) and read(path) == content:
                found.append(path)
    return found


class NoEscapeTest(SmallSampleTestCase):
    def stage(self, attack, moment):
        """The tree, the protected folder, and the path to give the tool."""
        self.tree = os.path.join(self.tmp, "tree")
        self.protected = os.path.join(self.tmp, "protected")
        os.makedirs(self.protected)
        for name, mode in [(OUTPUT, 0o644), ("secret.dll", 0o444), (NAME, 0o600)]:
            path = os.path.join(self.protected, name)
            with open(path, "wb") as f:
                f.write(b"protected " + name.encode())
            os.chmod(path, mode)
        if attack == ATTACKS[1]:
            # The path given is a link to the user's own folder.
            self.real = os.path.join(self.tree, "user")
            self.given = os.path.join(self.tree, "d")
            os.makedirs(self.real)
            os.symlink(self.real, self.given)
        else:
            self.real = os.path.join(self.tree, "d")
            self.given = self.tree
            os.makedirs(self.real)
        self.encrypted = self.sample(self.real, NAME)
        self.content = read(self.encrypted)
        if moment == MOMENTS[6][0]:
            # A cleaning a run cut off, with the empty partial output it had begun.
            os.rename(self.encrypted, cleaning_path(self.encrypted, EARLIER))
            open(partial_path(self.encrypted, EARLIER), "wb").close()

    def act(self, attack, moment):
        if attack == ATTACKS[0]:
            moved = self.real + ".moved"
            os.rename(self.real, moved)
            os.symlink(self.protected, self.real)
            self.real = moved
        elif attack == ATTACKS[1]:
            os.remove(self.given)
            os.symlink(self.protected, self.given)
        else:
            # The name the paused call is about: created by the call, or given by a rename.
            target = {
                MOMENTS[0][0]: NAME,
                MOMENTS[1][0]: backup_name(NAME, self.counter, "cleaning"),
                MOMENTS[2][0]: backup_name(NAME, self.counter, "partial"),
                MOMENTS[3][0]: OUTPUT,
                MOMENTS[4][0]: OUTPUT,
                MOMENTS[5][0]: backup_name(NAME, self.counter),
                MOMENTS[6][0]: backup_name(NAME, EARLIER, "partial"),
            }[moment]
            path = os.path.join(self.real, target)
            if os.path.lexists(path):
                os.rename(path, path + ".aside")
            os.link(os.path.join(self.protected, "secret.dll"), path)

    def counter_now(self):
        """The paused run's backup counter, from its log so far."""
        [log] = [os.path.join(self.cwd, n) for n in os.listdir(self.cwd) if n.endswith(".log")]
        with open(log, "rb") as f:
            text = f.read()[2:].decode("utf-16-le", "replace")
        [counter] = [int(line.split("INFO: Backup: ")[1]) for line in text.split("\r\n")
                     if "INFO: Backup: " in line]
        return counter

    def run_paused(self, moment, then, kill=False):
        """Runs the seamed tool until it pauses, calls then(), lets it go on (or kills it, as a
        power loss or a closed console would end it); the run's log."""
        _, function, text = [m for m in MOMENTS if m[0] == moment][0]
        proc, marker, paused = self.start_paused("%s:%s" % (function, text), "/s",
                                                 win_path(self.given))
        try:
            if paused:
                then()
                if kill:
                    proc.kill()
                os.remove(marker)
            proc.wait(timeout=300)
        finally:
            if proc.poll() is None:
                proc.kill()
        logs = [os.path.join(self.cwd, n) for n in os.listdir(self.cwd) if n.endswith(".log")]
        texts = [line.split("] - ", 1)[-1] for line in read_log(logs[0]).split("\r\n")]
        for log in logs:
            os.remove(log)
        return paused, proc.returncode, texts

    def test_every_moment_every_attack_nothing_outside_changes(self):
        base = self.tmp
        for moment, _, _ in MOMENTS:
            for attack in ATTACKS:
                with self.subTest(moment=moment, attack=attack):
                    self.tmp = os.path.join(base, "case%d" % len(os.listdir(base)))
                    self.cwd = os.path.join(self.tmp, "cwd")
                    os.makedirs(self.cwd)
                    self.stage(attack, moment)
                    before = snapshot(self.protected)

                    def then():
                        self.counter = self.counter_now()
                        self.act(attack, moment)
                    paused, rc, texts = self.run_paused(moment, then)
                    self.assertTrue(paused, texts)
                    self.assertEqual(snapshot(self.protected), before, texts)
                    output = os.path.join(self.real, OUTPUT)
                    if CLEANED in texts:
                        self.assertTrue(os.path.isfile(output) and not os.path.islink(output))
                        self.assertEqual(read(output), read(self.hundred))
                    else:
                        self.assertTrue(holders(self.tree, self.content), texts)

    def test_partial_output_closed_while_written(self):
        self.stage(ATTACKS[2], MOMENTS[3][0])
        os.chmod(self.encrypted, 0o644)
        seen = {}

        def then():
            # Written whole, not yet given the encrypted file's permissions.
            [partial] = [n for n in os.listdir(self.real) if ".partial_" in n]
            seen["mode"] = os.stat(os.path.join(self.real, partial)).st_mode & 0o777
        paused, rc, texts = self.run_paused(MOMENTS[3][0], then)
        self.assertTrue(paused)
        # Others, Everyone for Windows, may not read it; the group bits stand for the
        # administrators under Wine.
        self.assertEqual(seen["mode"] & 0o007, 0, oct(seen["mode"]))
        self.assertIn(CLEANED, texts)
        # Given the encrypted file's permissions once written, as it takes its name.
        self.assertEqual(os.stat(os.path.join(self.real, OUTPUT)).st_mode & 0o004, 0o004)

    def test_partial_output_closed_after_a_kill(self):
        self.stage(ATTACKS[2], MOMENTS[3][0])
        os.chmod(self.encrypted, 0o644)
        paused, rc, texts = self.run_paused(MOMENTS[3][0], lambda: None, kill=True)
        self.assertTrue(paused)
        self.assertNotIn(CLEANED, texts)
        time.sleep(0.5)
        # What the kill left stays closed to others until a later run takes it up.
        [partial] = [n for n in os.listdir(self.real) if ".partial_" in n]
        self.assertEqual(os.stat(os.path.join(self.real, partial)).st_mode & 0o007, 0)
        self.assertFalse(os.path.exists(os.path.join(self.real, OUTPUT)))


if __name__ == "__main__":
    main()
