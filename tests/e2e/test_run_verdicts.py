"""What a run tells an administrator at its end: the exit code, the console's last lines (the
final prompt answers by itself with output redirected) and the log's lines, for the ways a run
ends. A table of cases, printed as it is checked."""
import os
import subprocess

from harness import ToolTestCase, main, win_path
from key_resources import key_set
import samples
from tmux_console import BLUE, YELLOW, TmuxConsole, on

SUCCESS = "The cleaner has successfully finished cleaning your system. [YES]"
NOT_CLEANED = "1 file(s) not cleaned; the log names each and why."


class RunVerdictTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.plain = os.path.join(self.tmp, "plain.txt")
        with open(self.plain, "wb") as f:
            f.write(b"The minutes of the meeting.\r\n" * 50)

    def encrypted(self, folder, key_list):
        """A file of the family in folder, encrypted under the first key of key_list."""
        out = os.path.join(self.tmp, "out-" + os.path.basename(folder))
        os.makedirs(out)
        rc, paths, err = samples.run_writer(key_list, out, [self.plain], "--variant", "1",
                                            "--key", "0")
        self.assertEqual((rc, len(paths)), (0, 1), err)
        os.makedirs(folder)
        path = os.path.join(folder, os.path.basename(paths[0]))
        os.rename(paths[0], path)
        return path

    def foreign_key_list(self):
        """A key list of one RSA-2048 key that the tool does not carry."""
        pem = os.path.join(self.tmp, "foreign.pem")
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                        "rsa_keygen_bits:2048", "-out", pem], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return samples.write_blob_list(os.path.join(self.tmp, "foreign.txt"), [pem])

    def test_EachEnding_ExitCodeConsoleAndLogTellWhatHappened(self):
        own_keys = samples.write_blob_list(os.path.join(self.tmp, "own.txt"))
        foreign = self.foreign_key_list()
        # A folder of its own for each run that cleans.
        clean, clean_too, clean_again = [
            os.path.dirname(self.encrypted(os.path.join(self.tmp, name), own_keys))
            for name in ("clean", "clean-too", "clean-again")]
        lacking = os.path.dirname(self.encrypted(os.path.join(self.tmp, "lacking"), foreign))
        listed = os.path.dirname(self.encrypted(os.path.join(self.tmp, "listed"), foreign))
        missing = win_path(os.path.join(self.tmp, "clean", "no-such-folder"))
        keys_line = "INFO: Keys loaded: 3 of 3, " + key_set()
        counts = lambda infected, cleaned: ["%d infected files found." % infected,
                                            "%d file(s) cleaned." % cleaned]
        # (what, arguments, current folder, exit code, the console's last lines, lines shown on
        # the console before them, lines of the log, texts the log must not hold)
        cases = [
            ("log cannot be created", [win_path(clean_again)], "/sys", 11,
             ["Couldn't create logfile!"], [], None, []),
            ("a key the tool lacks", [win_path(lacking)], None, 2,
             counts(1, 0) + ["Cleaning Finished.", NOT_CLEANED + " [YES]"], [],
             [keys_line, "INFO: Loaded keys don't match.", "ERROR: Not cleaned"], []),
            ("a missing path", [win_path(clean), missing], None, 2,
             counts(1, 1) + ["Cleaning Finished.", SUCCESS],
             ["Invalid Path [%s]" % missing],
             ["WARNING: Invalid Path [%s]" % missing, "INFO: Cleaned"],
             ["consistency error", "Invalid Path [%s]" % win_path(clean)]),
            ("an unknown switch", ["/x", win_path(clean_too)], None, 2,
             counts(1, 1) + ["Cleaning Finished.", SUCCESS], ["Unknown switch [/x]"],
             ["WARNING: Unknown switch [/x]", "INFO: Cleaned"],
             ["Invalid Path", "consistency error"]),
            ("a clean run", [win_path(clean_again)], None, 0,
             counts(1, 1) + ["Cleaning Finished.", SUCCESS], [],
             [keys_line, "INFO: Cleaned"], ["WARNING: ", "ERROR: "]),
            ("list only, a key the tool lacks", ["/n", win_path(lacking)], None, 0,
             ["Cleaning Finished.", SUCCESS], counts(1, 0),
             ["WARNING: NoCleaningMode Enabled", "INFO: Skipping [%s]..." % win_path(
                 os.path.join(lacking, os.listdir(lacking)[0]))], ["ERROR: "]),
        ]
        for what, args, cwd, rc, tail, shown, log, absent in cases:
            with self.subTest(what):
                run = self.run_tool(*args, cwd=cwd)
                lines = [line for line in run.stdout.split("\r\n") if line]
                texts = run.texts()
                print("\n| %s | %s | exit %d |\n  console tail: %s\n  log: %s" % (
                    what, " ".join(args), run.rc, lines[-len(tail):],
                    [t for t in texts if t.startswith(("WARNING", "ERROR", "INFO: Keys",
                                                        "INFO: Cleaned", "INFO: Loaded",
                                                        "INFO: Skipping"))]))
                self.assertEqual(run.rc, rc, run.stdout[-2000:])
                self.assertEqual(lines[-len(tail):], tail)
                if log is None:
                    self.assertEqual(run.logs, [])
                    continue
                for line in shown:
                    self.assertIn(line, lines[:-len(tail)])
                for line in log:
                    self.assertIn(line, texts)
                for text in absent:
                    self.assertFalse([t for t in texts if text in t], (text, texts))
                self.assertEqual(texts[-1], "End")

    def test_FilesNotCleaned_FinalPromptInTheWarningStyleWaitsForAKey(self):
        foreign = self.foreign_key_list()
        lacking = os.path.dirname(self.encrypted(os.path.join(self.tmp, "lacking"), foreign))
        console = TmuxConsole(self, self.cwd, self.tool_copy(), [win_path(lacking)], width=100)
        screen = console.wait_for_prompt("[Press Any Key]")
        self.assertEqual(screen.row_colours(screen.row_with("Cleaning Finished.")),
                         {on(BLUE, YELLOW), on(BLUE, BLUE)})
        self.assertTrue(screen.rows[screen.row_with(NOT_CLEANED)].endswith("[Press Any Key]"))
        console.send("Enter")
        self.assertEqual(console.wait_exit(), 2)


if __name__ == "__main__":
    main()
