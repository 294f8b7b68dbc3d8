"""Who holds a file the tool is to clean: another run, or a program that shares the file's
deletion (an indexer, a backup agent) or does not (most programs). Each is told as what it is,
for a file met anew and for one a cut-off run left under its in-progress name, and the file is
left where the holder lets it be."""
import os
import subprocess

from harness import command, main, wine_env, win_path
from decryption import (FILE_HELPER, NOT_CLEANED, SmallSampleTestCase, cleaning_path, read,
                        sections, summary)

EARLIER = 77
BUSY = "INFO: File [%s] is being cleaned by another run."
BACK = ("INFO: File [%s] is open in another program; it is back under its own name: run the "
        "tool again once that program has closed it.")
UNMOVED = ("INFO: File [%s] is open in another program, which keeps it from going back under its "
           "own name: run the tool again once that program has closed it.")


class HolderTests(SmallSampleTestCase):
    def held_by_program(self, path, shares_deletion):
        """Another program holds the file until the returned process's input ends."""
        mode = "hold-shared" if shares_deletion else "hold-undeletable"
        holder = subprocess.Popen(command(FILE_HELPER, mode, win_path(path)),
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=wine_env())
        self.addCleanup(holder.wait, 30)
        self.addCleanup(holder.stdout.close)
        self.addCleanup(holder.stdin.close)
        self.assertEqual(holder.stdout.readline().strip(), b"held")
        return holder

    def held_by_run(self, folder, pause_at):
        """A run of the seamed tool over the folder, paused while it holds its file."""
        cwd = os.path.join(self.tmp, "first-cwd")
        os.makedirs(cwd)
        run, marker, paused = self.start_paused(pause_at, "/s", win_path(folder), cwd=cwd)
        self.addCleanup(run.kill)
        self.assertTrue(paused, "the first run never paused")
        return run, marker

    def test_EachHolder_ToldAsWhatItIsFreshAndResumed(self):
        # (holder, whether the file was left under its in-progress name, the line before the
        # verdict, whether the file is back under its own name afterwards)
        cases = [
            ("another run", False, BUSY, False),
            ("another run", True, BUSY, False),
            ("a program sharing deletion", False, BACK, False),
            ("a program sharing deletion", True, BACK, True),
            ("a program not sharing deletion", False, BACK, False),
            ("a program not sharing deletion", True, UNMOVED, False),
        ]
        base = self.tmp
        for index, (holder, resumed, line, moved_back) in enumerate(cases):
            with self.subTest(holder=holder, resumed=resumed):
                self.tmp = os.path.join(base, "case-%d" % index)
                self.cwd = os.path.join(self.tmp, "cwd")
                os.makedirs(self.cwd)
                folder = os.path.join(self.tmp, "data")
                encrypted = self.sample(folder, "held.doc.BRSK")
                held = encrypted
                if resumed:
                    held = cleaning_path(encrypted, EARLIER)
                    os.rename(encrypted, held)
                content = read(held)
                first = None
                if holder == "another run":
                    # Paused before it gives the file its in-progress name, or before it creates
                    # the partial output of the cleaning it takes up: it holds the file then.
                    pause = ("NtSetInformationFile:.cleaning_" if not resumed
                             else "NtCreateFile:.partial_%d_" % EARLIER)
                    first, marker = self.held_by_run(folder, pause)
                else:
                    program = self.held_by_program(
                        held, holder == "a program sharing deletion")
                run = self.run_tool("/s", win_path(folder))
                self.assertEqual(run.rc, 2, run.texts())
                self.assertEqual(summary(run), (1, 0))
                shown = line % win_path(held if line == UNMOVED else encrypted)
                self.assertEqual(sections(run)[win_path(encrypted)][-2:], [shown, NOT_CLEANED])
                where = encrypted if moved_back or not resumed else held
                self.assertEqual(read(where), content)
                if first:
                    # Let go, the first run cleans the file as if nothing had happened.
                    os.remove(marker)
                    self.assertEqual(first.wait(timeout=300), 0)
                    self.assertEqual(read(os.path.splitext(encrypted)[0]), read(self.hundred))
                else:
                    program.stdin.close()
                    program.wait(30)
        self.tmp = base


if __name__ == "__main__":
    main()
