"""A restored file comes back with what its encrypted copy carried beside its data: here, under
Wine, its last-write time and its permissions (Wine keeps an access list as Unix permissions,
and no creation time or alternate streams of its own: those are tested on the fake file
system). In every mode that cleans; the user's file that a forced run replaced, and the backup,
keep theirs."""
import os

from harness import main, win_path
from decryption import SmallSampleTestCase, backup_name, read, run_counter, security, summary

# Readable by its owner alone; last written on 2 January 2020.
MODE = 0o600
WRITTEN = 1577963045
# The user's file at the output's name: readable by its group too, written later.
USERS_MODE = 0o640
USERS_WRITTEN = 1620216000


def carried(path):
    status = os.stat(path)
    return status.st_mode & 0o777, int(status.st_mtime)


def others(path):
    """What the file's Unix permissions let others do (Wine's group bits follow its own mapping
    of an access list back to a mode, and may change)."""
    return os.stat(path).st_mode & 0o007


class RestoredMetadataTests(SmallSampleTestCase):
    def test_EveryModeThatCleans_TheOutputGetsTheEncryptedFilesTimeAndPermissions(self):
        # (switches, whether a file of the user's has the output's name and is replaced)
        for switches, replaced in (([], False), (["/s"], False), (["/f"], True), (["/d"], False)):
            with self.subTest(switches=switches):
                folder = os.path.join(self.tmp, "mode%s" % "".join(s[1] for s in switches))
                encrypted = self.sample(folder, "payroll.xls.BRSK")
                content = read(encrypted)
                os.chmod(encrypted, MODE)
                os.utime(encrypted, (WRITTEN, WRITTEN))
                output = os.path.splitext(encrypted)[0]
                if replaced:
                    with open(output, "wb") as f:
                        f.write(b"the user's own")
                    os.chmod(output, USERS_MODE)
                    os.utime(output, (USERS_WRITTEN, USERS_WRITTEN))
                    # The folder's default would let everyone read: the output must not.
                    os.chmod(folder, 0o755)

                run = self.run_tool(*switches, win_path(encrypted))

                self.assertEqual(run.rc, 0)
                self.assertEqual(summary(run), (1, 1))
                backup = os.path.join(folder, backup_name(os.path.basename(encrypted),
                                                          run_counter(run)))
                self.assertEqual(read(backup), content)
                self.assertEqual(carried(backup), (MODE, WRITTEN))
                self.assertEqual(read(output), read(self.hundred))
                # As Windows programs see it: the encrypted file's owner and access list.
                self.assertEqual(security(output), security(backup))
                self.assertEqual((others(output), int(os.stat(output).st_mtime)), (0, WRITTEN))
                if replaced:
                    kept = output + ".backup_%d_by_ovix" % run_counter(run)
                    self.assertEqual(read(kept), b"the user's own")
                    self.assertEqual(carried(kept), (USERS_MODE, USERS_WRITTEN))
                self.assertFalse([t for t in run.texts()
                                  if t.startswith("WARNING: Can't copy the permissions")])


if __name__ == "__main__":
    main()
