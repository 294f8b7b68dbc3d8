"""A DLL planted beside the executable or in the current directory under the name of a library of
the table of system functions is not loaded in place of the system's: where the release has
SetDefaultDllDirectories, bare names are looked up in the system directory only; where it lacks
it (Windows XP to 7 without KB2533623, played here), each library is loaded by its full path in
the system directory.

Wine, like Windows for a DLL that is not a known one, takes a native DLL it finds on the
search path when the load order says "n,b"; WINEDLLOVERRIDES sets that order for the names
planted here, so an unrestricted search would load them (the control test shows it does)."""
import os
import re
import shutil
import subprocess

from harness import BUILD, EXE, SEAMED_EXE, SOURCE, ToolTestCase, command, main, wine_env
from test_import_table import imports

PROBE = os.path.join(BUILD, "tests", "dll_search", "library_probe.exe")
PLANTED = os.path.join(BUILD, "tests", "dll_search", "planted.dll")


def table_libraries():
    """The file names of the table's libraries, read from the list the build expands."""
    with open(os.path.join(SOURCE, "src", "platform", "system_function_list.h")) as f:
        return re.findall(r'^\s*L\(\w+, L"([^"]+)"', f.read(), re.M)


# No search is made for kernel32 and ntdll, in every process before its first instruction, nor
# for the programs' imports, which the loader binds at start, before any of the tool's code runs
# (known DLLs on Windows, always taken from the system directory; Wine would take a planted copy
# of them as it takes the others). Every other library of the table is planted.
LOADED_AT_START = {"kernel32.dll", "ntdll.dll"}.union(
    *(imports(program) for program in (EXE, SEAMED_EXE, PROBE)))
PLANTED_NAMES = tuple(n for n in table_libraries() if n not in LOADED_AT_START)
OVERRIDES = {"WINEDLLOVERRIDES": ",".join(n[:-4] for n in PLANTED_NAMES) + "=n,b"}
SYSTEM_DIRECTORY = "c:\\windows\\system32\\"
# How the library search is left: as the tool leaves it, or as on a release without the call.
SEARCHES = (("restricted", ()), ("unrestricted", ("unrestricted",)))


class PlantedDllTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.bin = os.path.join(self.tmp, "bin")
        os.makedirs(self.bin)
        # Planted copies beside the executable and in the current directory.
        for directory in (self.bin, self.cwd):
            for name in PLANTED_NAMES:
                shutil.copy(PLANTED, os.path.join(directory, name))

    def markers(self):
        return sorted(os.path.join(os.path.basename(d), f)
                      for d in (self.bin, self.cwd) for f in os.listdir(d) if f.endswith(".loaded"))

    def clear_markers(self):
        for marker in self.markers():
            os.remove(os.path.join(self.tmp, marker))

    def run_in_bin(self, exe, *args, extra_env=None):
        target = os.path.join(self.bin, os.path.basename(exe))
        if not os.path.exists(target):
            shutil.copy(exe, target)
        return subprocess.run(command(target, *args), cwd=self.cwd, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                              env=wine_env(dict(OVERRIDES, **(extra_env or {}))))

    def test_TableLists_TheLibrariesPlantedHere(self):
        # Guards the reading of the table: were it to find nothing, nothing would be planted.
        self.assertIn("ole32.dll", PLANTED_NAMES)
        self.assertIn("version.dll", PLANTED_NAMES)

    def test_Control_PlainLoadTakesThePlantedCopyBesideTheExecutable(self):
        for name in PLANTED_NAMES:
            with self.subTest(name=name):
                proc = self.run_in_bin(PROBE, "plain", name)
                self.assertEqual(proc.returncode, 0, proc.stderr)
                self.assertIn(os.path.join("bin", name + ".loaded"), self.markers())

    def test_TableLoad_TakesTheSystemCopyOfEachLibrary(self):
        for name in PLANTED_NAMES:
            for search, args in SEARCHES:
                with self.subTest(name=name, search=search):
                    self.clear_markers()
                    proc = self.run_in_bin(PROBE, "table", name, *args)
                    self.assertEqual(proc.returncode, 0, proc.stderr)
                    self.assertEqual(proc.stdout.decode().strip().lower(), SYSTEM_DIRECTORY + name)
                    self.assertEqual(self.markers(), [])

    def test_Tool_LoadsTheTableLibrariesFromTheSystemDirectoryOnly(self):
        # The entry's first call, CoInitializeEx, loads ole32.dll through the table.
        no_restriction = ("--seam-missing=SetDefaultDllDirectories",)
        runs = (("as shipped", EXE, ()),
                ("without SetDefaultDllDirectories", SEAMED_EXE, no_restriction),
                ("on Windows XP", SEAMED_EXE,
                 ("--seam-os=5.1.2600.3.1", "--seam-missing=AddDllDirectory") + no_restriction))
        for what, exe, seam in runs:
            with self.subTest(what):
                self.clear_markers()
                proc = self.run_in_bin(exe, *seam, "/s", "", extra_env={"WINEDEBUG": "+loaddll"})
                self.assertEqual(proc.returncode, 0)
                loads = [line.lower() for line in
                         proc.stderr.decode("utf-8", "replace").splitlines() if "Loaded" in line]
                planted = [line for line in loads
                           if any(name in line for name in PLANTED_NAMES)]
                self.assertTrue(any("ole32.dll" in line for line in planted),
                                "the tool loaded no ole32.dll at all")
                for line in planted:
                    self.assertIn(SYSTEM_DIRECTORY.replace("\\", "\\\\"), line)
                self.assertEqual(self.markers(), [])


if __name__ == "__main__":
    main()
