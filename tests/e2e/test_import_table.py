"""The executable loads on every supported Windows: it imports only system DLLs and
nothing that Windows XP lacks (the 64-bit build: nothing that XP x64 lacks, which has all XP has).
Reads the executable without running it, so it also checks a build this machine cannot run."""
import os
import subprocess
import unittest

from harness import EXE, main, pe_arch

TRIPLES = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}

SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll", "ole32.dll",
               "crypt32.dll", "ntdll.dll", "shell32.dll", "version.dll"}


def imports(path):
    """{dll: [function, ...]} read from objdump's import table listing."""
    objdump = TRIPLES[pe_arch(path)] + "-objdump"
    out = subprocess.run([objdump, "-p", path], check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    table, current = {}, None
    for line in out.splitlines():
        line = line.strip()
        if line.startswith("DLL Name:"):
            current = line.split(":", 1)[1].strip().lower()
            table[current] = []
        elif current and line and line[0] in "0123456789abcdef" and len(line.split()) >= 3:
            parts = line.split()
            if parts[1].isdigit():
                table[current].append(parts[2])
        elif line == "" and current and table[current]:
            current = None
    return table


class ImportTableTests(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(os.path.dirname(__file__), "xp_missing_functions.txt")) as f:
            self.denied = {l.strip() for l in f if l.strip() and not l.startswith("#")}
        self.table = imports(EXE)

    def test_ImportsOnlySystemDlls(self):
        self.assertIn("kernel32.dll", self.table)
        self.assertLessEqual(set(self.table), SYSTEM_DLLS)

    def test_ImportsNothingWindowsXpLacks(self):
        functions = {f for names in self.table.values() for f in names}
        self.assertGreater(len(functions), 10)  # the listing was parsed at all
        self.assertEqual(functions & self.denied, set())

    def test_DenyListCatchesAnImportedName(self):
        # Guards the parser: a name known to be imported is found by the same reading.
        functions = {f for names in self.table.values() for f in names}
        self.assertIn("FindFirstFileW", functions)


if __name__ == "__main__":
    main()
