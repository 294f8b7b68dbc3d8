"""A DLL planted beside the executable or in the current directory is not loaded in place of
the system's: bare library names are looked up in the system directory only.

Wine, like Windows for a DLL that is not a known one, takes a native DLL it finds on the
search path when the load order says "n,b"; WINEDLLOVERRIDES sets that order for the names
planted here, so an unrestricted search would load them (the control test shows it does)."""
import os
import shutil
import subprocess

from harness import BUILD, ToolTestCase, command, main, wine_env

PROBE = os.path.join(BUILD, "tests", "dll_search", "library_probe.exe")
PLANTED = os.path.join(BUILD, "tests", "dll_search", "planted.dll")
PLANTED_NAMES = ("version.dll", "ole32.dll")
OVERRIDES = {"WINEDLLOVERRIDES": ",".join(n[:-4] for n in PLANTED_NAMES) + "=n,b"}


class PlantedDllTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.bin = os.path.join(self.tmp, "bin")
        os.makedirs(self.bin)

    def plant(self):
        """Planted copies beside the executable and in the current directory."""
        for directory in (self.bin, self.cwd):
            for name in PLANTED_NAMES:
                shutil.copy(PLANTED, os.path.join(directory, name))

    def markers(self):
        return sorted(os.path.join(os.path.basename(d), f)
                      for d in (self.bin, self.cwd) for f in os.listdir(d) if f.endswith(".loaded"))

    def run_in_bin(self, exe, *args, extra_env=None):
        target = os.path.join(self.bin, os.path.basename(exe))
        shutil.copy(exe, target)
        return subprocess.run(command(target, *args), cwd=self.cwd, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                              env=wine_env(dict(OVERRIDES, **(extra_env or {}))))

    def test_Control_PlainLoadTakesThePlantedCopyBesideTheExecutable(self):
        self.plant()
        for name in PLANTED_NAMES:
            with self.subTest(name=name):
                proc = self.run_in_bin(PROBE, "plain", name)
                self.assertEqual(proc.returncode, 0, proc.stderr)
                self.assertIn(os.path.join("bin", name + ".loaded"), self.markers())

    def test_TableLoad_TakesTheSystemCopy(self):
        self.plant()
        proc = self.run_in_bin(PROBE, "table")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(proc.stdout.decode().strip().lower(), r"c:\windows\system32\version.dll")
        self.assertEqual(self.markers(), [])

    def test_Tool_LoadsOle32FromTheSystemDirectoryOnly(self):
        # The entry's first call, CoInitializeEx, loads ole32.dll through the table.
        self.plant()
        tool = self.tool_copy()
        proc = self.run_in_bin(tool, "/s", "", extra_env={"WINEDEBUG": "+loaddll"})
        self.assertEqual(proc.returncode, 0)
        loads = [line for line in proc.stderr.decode("utf-8", "replace").splitlines()
                 if "ole32.dll" in line.lower() and "Loaded" in line]
        self.assertTrue(loads, "the tool loaded no ole32.dll at all")
        for line in loads:
            self.assertIn(r"c:\\windows\\system32\\ole32.dll", line.lower())
        self.assertEqual(self.markers(), [])


if __name__ == "__main__":
    main()
