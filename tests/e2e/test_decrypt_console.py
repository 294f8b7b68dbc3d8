"""The question before an existing file is replaced, in a real console (tmux): the output path
shortened to the console width less 16, replaced (and kept under a backup name) on yes, left on
no, and the answer recorded in the log; no question at all when the file there is encrypted."""
import os

from harness import Run, main, read_log, win_path
from decryption import (CLEANED, DecryptionTestCase, backup_suffix, read, sections,
                        summary)
from tmux_console import TmuxConsole

WIDTH = 100
QUESTION = "Do you want to overwrite the following file?"


class OverwritePromptTests(DecryptionTestCase):
    def test_ExistingOutput_YesReplacesNoKeeps_PathFitsWidthLess16(self):
        data = os.path.join(self.tmp, "data")
        directory = win_path(data) + "\\"
        # A path is shown whole while its length + 5 stays below the limit of 84 columns:
        # 78 characters are shown whole (a limit of 80 would shorten them), 79 are shortened.
        names = ["yes".ljust(78 - len(directory) - 4, "-") + ".dat",
                 "no".ljust(79 - len(directory) - 4, "-") + ".dat"]
        plain = self.plain("plain.dat", os.urandom(100))
        encrypted = [self.write_samples(data, [plain], "--name", name + ".BRSK")[0]
                     for name in names]
        outputs = [os.path.join(data, name) for name in names]
        for output in outputs:
            with open(output, "wb") as f:
                f.write(b"the user's own file")
        shown = [directory + names[0],
                 directory[:directory.rindex("\\", 0, -1) + 1] + "...\\" + names[1]]
        self.assertEqual([len(directory + name) for name in names], [78, 79])

        exe = self.tool_copy()
        console = TmuxConsole(self, self.tmp, exe, [win_path(p) for p in encrypted],
                              width=WIDTH, height=50, cwd=self.cwd)
        for path, answer, tag in zip(shown, ("y", "n"), ("[Yes]", "[No]")):
            with self.subTest(answer=answer):
                screen = console.wait_for_prompt(path + "_")
                row = screen.row_with(path + "_")
                self.assertIn(QUESTION, screen.rows[row - 1])
                self.assertTrue(screen.rows[row].endswith("[Yes / No]"), screen.rows[row])
                console.send(answer)
                # The answer's tag is the last thing drawn on the row.
                console.wait_for(tag)
                self.assertTrue(console.screen().rows[row].endswith(tag))
        console.wait_for_prompt("[Press Any Key]")
        console.send("Enter")
        # The file answered no was not cleaned.
        self.assertEqual(console.wait_exit(), 2)

        [log] = [n for n in os.listdir(self.cwd) if n.startswith(os.path.basename(exe) + "_")]
        run = Run(0, "", [read_log(os.path.join(self.cwd, log))])
        logged = sections(run)
        for output, answer in zip(outputs, ("Yes", "No")):
            self.assertIn("INFO: %s [%s] %s (user)" % (QUESTION, win_path(output), answer),
                          run.texts())
        self.assertEqual(logged[win_path(encrypted[0])][-1], CLEANED)
        self.assertEqual(read(outputs[0]), read(plain))
        self.assertTrue(os.path.exists(encrypted[0] + backup_suffix(run)))
        self.assertEqual(read(outputs[0] + backup_suffix(run)), b"the user's own file")
        self.assert_not_cleaned(run, encrypted[1], read(encrypted[1]),
                                "User doesn't allow modification of file [%s]" % win_path(outputs[1]))
        self.assertEqual(read(outputs[1]), b"the user's own file")

    def test_OutputIsAnEncryptedFileToo_NoQuestionFileRefused(self):
        data = os.path.join(self.tmp, "data")
        plain = self.plain("plain.dat", os.urandom(100))
        twice = self.write_samples(data, [plain], "--name", "a.BRSK.BRSK")[0]
        single = self.write_samples(data, [plain], "--name", "a.BRSK")[0]
        content = read(twice)
        exe = self.tool_copy()
        console = TmuxConsole(self, self.tmp, exe, [win_path(twice), win_path(single)],
                              width=WIDTH, height=50, cwd=self.cwd)
        screen = console.wait_for_prompt("[Press Any Key]")
        self.assertNotIn(QUESTION, str(screen))
        console.send("Enter")
        # The file whose output is an encrypted file too was not cleaned.
        self.assertEqual(console.wait_exit(), 2)
        [log] = [n for n in os.listdir(self.cwd) if n.startswith(os.path.basename(exe) + "_")]
        run = Run(0, "", [read_log(os.path.join(self.cwd, log))])
        self.assert_not_cleaned(run, twice, content,
                                "Can't replace [%s], it is an encrypted file too." %
                                win_path(single))
        self.assertEqual(sections(run)[win_path(single)][-1], CLEANED)
        self.assertEqual(summary(run), (2, 1))

if __name__ == "__main__":
    main()
