"""Names in every script, as the family's victims have them (folders and files in Cyrillic,
Japanese, Arabic with its vowel marks, Hangul, an emoji, a combining accent, and a name near the
length limit in each script), stay whole: in redirected output, in the code page its reader
decodes it in (Wine's OEM code page follows the locale: 437, 866 for Russian, 932 for
Japanese); in the log, exact; and in the drawn console, where every row keeps its tag at its
end. The pane's last screen is kept in build/ARCH/tests/every_script/ for a person to look at."""
import os
import shutil
import unicodedata

from harness import BUILD, main, read_log, win_path
from decryption import DEMO_KEY_LIST, DecryptionTestCase, read, sections, summary
from samples import run_writer
from tmux_console import TmuxConsole

# (folder, file name) before encryption.
NAMES = [
    ("Документы", "отчёт за март.docx"),
    ("デスクトップ", "写真と資料.xlsx"),
    ("مستندات", "تَقْرِير السنة.pdf"),
    ("문서", "회의록 보고서.hwp"),
    ("emoji", "party \U0001F600.jpg"),
    ("accent", "cafe\u0301 re\u0301sume\u0301.txt"),
    # Long names, which the console shortens: as long as the folder's file system (a Unix one,
    # which counts a name's UTF-8 bytes) takes them with the suffix of a cleaning's own names.
    ("Документы", "ж" * 105 + ".doc"),
    ("デスクトップ", "写" * 70 + ".doc"),
    ("مستندات", "بَ" * 52 + ".doc"),
]
# Locales and the OEM code page Wine gives redirected output for each.
LOCALES = [("C.UTF-8", "cp437"), ("ru_RU.UTF-8", "cp866"), ("ja_JP.UTF-8", "cp932")]
KEPT = os.path.join(BUILD, "tests", "every_script")


def in_code_page(text, code_page):
    """The bytes Windows writes for text in a code page: "?" for each UTF-16 unit it cannot
    show."""
    out = b""
    for character in text:
        try:
            out += character.encode(code_page)
        except UnicodeEncodeError:
            out += b"?" * (2 if ord(character) > 0xFFFF else 1)
    return out


def columns(text):
    """The columns a terminal gives the text."""
    return sum(0 if unicodedata.combining(c) else 2 if unicodedata.east_asian_width(c) in "WF"
               else 1 for c in text)


class EveryScriptTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        self.pristine = os.path.join(self.tmp, "pristine")
        self.plains = {}
        for index, (folder, name) in enumerate(NAMES):
            plain = self.plain("%d.bin" % index, os.urandom(300 + index))
            target = os.path.join(self.pristine, folder)
            os.makedirs(target, exist_ok=True)
            # The names go to the writer whole; its own printing of them is none of ours.
            rc, _, err = run_writer(DEMO_KEY_LIST, target, [plain], "--name", name + ".BRSK")
            self.assertEqual(rc, 0, err)
            self.plains[os.path.join(folder, name)] = read(plain)

    def tree(self, name):
        tree = os.path.join(self.tmp, name)
        shutil.copytree(self.pristine, tree)
        return tree

    def assert_cleaned(self, tree, run):
        for relative, content in self.plains.items():
            self.assertEqual(read(os.path.join(tree, relative)), content, relative)
        # The log names every file exactly.
        self.assertEqual(sorted(sections(run)),
                         sorted(win_path(os.path.join(tree, r)) + ".BRSK" for r in self.plains))

    def test_RedirectedOutput_EveryLineWholeInTheCodePageOfItsReader(self):
        for locale, code_page in LOCALES:
            with self.subTest(locale=locale):
                tree = self.tree("redirected-" + code_page)
                run = self.run_tool("/s", win_path(tree), env={"LC_ALL": locale})
                self.assertEqual(run.rc, 0)
                self.assertEqual(summary(run), (len(NAMES), len(NAMES)))
                self.assert_cleaned(tree, run)
                with open(os.path.join(self.cwd, "out-%s.txt" % code_page), "wb") as f:
                    f.write(run.stdout_bytes)
                lines = run.stdout_bytes.split(b"\r\n")
                expected = sorted(in_code_page("Cleaning [%s.BRSK]" % win_path(
                    os.path.join(tree, relative)), code_page) for relative in self.plains)
                self.assertEqual(sorted(l for l in lines if l.startswith(b"Cleaning [")),
                                 expected)
                self.assertIn(b"%d infected files found." % len(NAMES), lines)
                # Every line end is there: no line runs into the next.
                self.assertFalse([l for l in lines if l.count(b"Cleaning [") > 1])

    def test_DrawnConsole_EveryRowKeepsItsTagAtItsEnd(self):
        tree = self.tree("console")
        width = 100
        console = TmuxConsole(self, self.tmp, self.tool_copy(), ["/s", win_path(tree)],
                              width=width, height=60, stdin="/dev/null", cwd=self.cwd)
        self.assertEqual(console.wait_exit(timeout=120), 0)
        screen = console.screen()
        os.makedirs(KEPT, exist_ok=True)
        with open(os.path.join(KEPT, "console-pane.txt"), "w", encoding="utf-8") as f:
            f.write(str(screen) + "\n")
        rows = [row for row in screen.rows if row.startswith("Cleaning [")]
        self.assertEqual(len(rows), len(NAMES), str(screen))
        for row in rows:
            with self.subTest(row=row):
                # The whole shortened path, its name's end and bracket, then the tag.
                self.assertRegex(row, r"^Cleaning \[[^]]*\.BRSK\] +\[Done\]$")
                self.assertLessEqual(columns(row), width)
        # Nothing of a row ran into the next one.
        self.assertFalse([row for row in screen.rows if row.startswith(("ne]", "]", "one]"))])
        self.assertIn("%d infected files found." % len(NAMES), screen.rows)
        [log] = [n for n in os.listdir(self.cwd) if n.endswith(".log")]
        texts = [line.split("] - ", 1)[1] for line in
                 read_log(os.path.join(self.cwd, log)).split("\r\n") if "] - " in line]
        for relative in self.plains:
            self.assertIn("INFO: Cleaning file [%s.BRSK]" % win_path(os.path.join(tree, relative)),
                          texts)


if __name__ == "__main__":
    main()
