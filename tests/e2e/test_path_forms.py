"""File and directory arguments written with "/", mixed or doubled separators, absolute and
relative: each cleans exactly the file it names, never a namesake in the current directory."""
import os

from harness import ToolTestCase, main, win_path
from decryption import CLEANED, backup_suffix, read, summary
from planting import Planted, assert_cleaned, plant, verdicts

NAME = "x.doc.BRSK"

# (what, argument, path as logged), filled in with {d}: the current directory's absolute Windows
# path, {ds}: the same with "/", {dd}: the same with a doubled separator after the drive, {c}: the
# case's own directory below it, where its file lies. A directory part stays as given; the walker
# puts "\\" before the name it found.
CASES = [
    ("absolute, forward slashes", "{ds}/{c}/" + NAME, "{ds}/{c}\\" + NAME),
    ("absolute, mixed", "{d}\\{c}/" + NAME, "{d}\\{c}\\" + NAME),
    ("absolute, doubled", "{d}\\{c}\\\\" + NAME, "{d}\\{c}\\\\" + NAME),
    ("absolute, doubled after the drive", "{dd}\\{c}\\" + NAME, "{dd}\\{c}\\" + NAME),
    ("relative, forward slash", "{c}/" + NAME, "{c}\\" + NAME),
    ("relative, doubled", "{c}\\\\" + NAME, "{c}\\\\" + NAME),
    ("relative, dot, mixed and doubled", ".\\{c}//" + NAME, ".\\{c}/\\" + NAME),
    ("directory, forward slashes and a trailing one", "{ds}/{c}/", "{ds}/{c}\\" + NAME),
    ("pattern, forward slashes", "{ds}/{c}/*.BRSK", "{ds}/{c}\\" + NAME),
]


class PathFormTests(ToolTestCase):
    def test_EveryForm_CleansTheFileItNamesAndLeavesTheNamesakeAlone(self):
        # Taken by the bare name, or cut at the wrong separator, each argument would name the
        # namesake, which would then be cleaned.
        namesake, *targets = plant(self.tmp, [
            Planted(os.path.join(self.cwd, NAME), os.urandom(700), 1)] + [
            Planted(os.path.join(self.cwd, "case%d" % i, NAME), os.urandom(500 + i), 1)
            for i in range(len(CASES))])
        d = win_path(self.cwd)
        for i, ((what, argument, logged), target) in enumerate(zip(CASES, targets)):
            with self.subTest(what):
                forms = dict(d=d, ds=d.replace("\\", "/"), dd=d[:2] + "\\" + d[2:], c="case%d" % i)
                run = self.run_tool("/s", argument.format(**forms))
                self.assertEqual(run.rc, 0)
                self.assertEqual(verdicts(run), {logged.format(**forms): CLEANED})
                self.assertEqual(summary(run), (1, 1))
                assert_cleaned(self, [target], backup_suffix(run))
                self.assertEqual(read(namesake.path), namesake.encrypted)
                self.assertEqual(sorted(n for n in os.listdir(self.cwd) if not n.endswith(".log")),
                                 sorted([NAME] + ["case%d" % k for k in range(len(CASES))]))


if __name__ == "__main__":
    main()
