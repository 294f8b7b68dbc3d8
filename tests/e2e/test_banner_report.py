"""The header of every run: the banner and the system report, on the console and in the log."""
import os
import re
import socket

from harness import EXE, ToolTestCase, main, pe_arch, project_version, win_path

RULE = "-" * 80
ROW_TEXTS = {
    3: "Bristoke decryptor",
    4: "Version: " + project_version(),
    5: "Built: Oct 24 2018",
}
NOTICE_ROWS = (7, 8)


def prefix_registry():
    with open(os.path.join(os.environ["WINEPREFIX"], "system.reg"), encoding="utf-8",
              errors="replace") as f:
        return f.read()


class HeaderTests(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.registry = prefix_registry()

    def setUp(self):
        super().setUp()
        data = os.path.join(self.tmp, "data")
        os.makedirs(data)
        self.run_ = self.run_tool("/n", win_path(data))
        self.assertEqual(self.run_.rc, 0)
        self.lines = self.run_.stdout.replace("\r\n", "\n").split("\n")

    def test_Banner_NineRowsOfArtWithTheirTexts_SameInTheLog(self):
        self.assertEqual(self.lines[0], "")
        rows = self.lines[1:10]
        text_columns = set()
        for number, row in enumerate(rows, 1):
            with self.subTest(row=number):
                # Fits an 80-column console without wrapping, and survives any code page.
                self.assertLessEqual(len(row), 79)
                self.assertTrue(row.isascii())
                self.assertEqual(row, row.rstrip())
                self.assertIn("#", row)
                art = re.match(r"^[# ]+", row).group(0)
                text = row[len(art):]
                if number in ROW_TEXTS:
                    self.assertEqual(text, ROW_TEXTS[number])
                elif number in NOTICE_ROWS:
                    self.assertGreater(len(text), 20)
                else:
                    self.assertEqual(text, "")
                if text:
                    text_columns.add(len(art))
        self.assertEqual(len(text_columns), 1, "the texts start in one column")
        self.assertEqual(self.lines[10:13], ["", RULE, ""])

        texts = self.run_.texts()
        self.assertEqual(texts[:2], ["Begin", ""])
        self.assertEqual(texts[2:11], rows)  # plain lines, no prefix
        self.assertEqual(texts[11:14], ["", RULE, ""])

    def test_SystemReport_FiveLinesOnConsoleAndAsInfoLines(self):
        report = self.lines[13:19]
        self.assertRegex(report[0], r"^OS: \d+\.\d+\.\d+ SP\d+$")
        self.assertIn(report[1], ("Product Type: Workstation", "Product Type: Server"))
        self.assertIn(report[2], ("WoW64: True", "WoW64: False"))
        self.assertTrue(report[3].startswith("Machine guid: "))
        # Wine gives the host's name as the computer's, its NetBIOS form in upper case.
        netbios = socket.gethostname().split(".")[0].upper()[:15]
        self.assertRegex(report[4], r"^Computer name: %s( \(\S+\))?$" % re.escape(netbios))
        self.assertEqual(report[5], "")
        self.assertEqual(self.run_.texts()[14:20], ["INFO: " + line for line in report[:5]] + [""])

    def test_WoW64_AsThePrefixReportsIt(self):
        # Only a 32-bit program on 64-bit Windows runs under WoW64; a 64-bit one never does.
        arch = re.search(r"^#arch=(\w+)", self.registry, re.M).group(1)
        expected = str(arch == "win64" and pe_arch(EXE) == "i686")
        self.assertIn("WoW64: " + expected, self.lines)
        self.assertIn("INFO: WoW64: " + expected, self.run_.texts())

    def test_MachineGuid_ThePrefixsValueInUpperCase(self):
        section = self.registry.split("[Software\\\\Microsoft\\\\Cryptography]", 1)[1]
        stored = re.search(r'^"MachineGuid"="([^"]*)"', section, re.M).group(1)
        self.assertNotEqual(stored, stored.upper(), "Wine stores it in lower case")
        line = "Machine guid: " + stored.upper()
        self.assertIn(line, self.lines)
        self.assertIn("INFO: " + line, self.run_.texts())
        self.assertNotIn("\0", self.run_.log)


if __name__ == "__main__":
    main()
