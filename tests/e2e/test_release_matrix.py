"""Windows releases as Wine plays them, and machine GUIDs as the registry may hold them, in a
private copy of the test prefix (the Windows version lives in the prefix's registry, so the
shared prefix of parallel tests is left alone)."""
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import BUILD, ToolTestCase, command, main, wine_env, win_path

UNSUPPORTED = "Sorry but this Windows version is not supported!"
CURRENT_VERSION = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"


class PrivatePrefix:
    """A copy of the test prefix with a wineserver of its own; stop() removes both."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="bristoke-prefix-")
        self.path = os.path.join(self.root, "wineprefix")
        subprocess.run(["cp", "-a", os.path.join(BUILD, "wineprefix"), self.path], check=True)
        self.env = {"WINEPREFIX": self.path}
        subprocess.run(["wineserver", "-p"], env=wine_env(self.env), check=True)
        # Wine's services start with the first process and keep its handles: give them none.
        self.wine("cmd.exe", "/c", "exit")

    def wine(self, *args):
        return subprocess.run(command(*args), env=wine_env(self.env),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=120).stdout

    def reg(self, *args):
        self.wine("reg", *args, "/f")

    def import_reg(self, text):
        path = os.path.join(self.root, "import.reg")
        with open(path, "wb") as f:
            f.write(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n" + text + "\r\n")
                    .encode("utf-16-le"))
        self.wine("regedit", "/s", win_path(path))

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=wine_env(self.env))
        subprocess.run(["wineserver", "-w"], env=wine_env(self.env), timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)


def report_line(run, head):
    """The system report line that starts with head, from the console and from the log."""
    console = [l for l in run.stdout.replace("\r\n", "\n").split("\n") if l.startswith(head)]
    logged = [t[len("INFO: "):] for t in run.texts() if t.startswith("INFO: " + head)]
    return console, logged


class ReleaseMatrixTests(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = PrivatePrefix()
        cls.addClassCleanup(cls.prefix.stop)

    def setUp(self):
        super().setUp()
        os.makedirs(os.path.join(self.tmp, "data"))
        self.data = win_path(os.path.join(self.tmp, "data"))

    def run_in_prefix(self, *args):
        return self.run_tool(*args, env=self.prefix.env)

    def wine_version_line(self):
        """The version Wine reports through its own WMI, in the shape of the report's line."""
        def wmic_os(field):
            out = self.prefix.wine("wmic", "os", "get", field).decode("utf-16")
            header, value = [line.strip() for line in out.split("\r\n") if line.strip()][:2]
            self.assertEqual(header, field)
            return value

        return "OS: %s SP%s" % (wmic_os("Version"), wmic_os("ServicePackMajorVersion"))

    def test_WinesReleases_ReportedAndAccepted(self):
        releases = [
            ("win2k", "5.0.", "Workstation"),
            ("winxp", "5.1.", "Workstation"),
            ("win2003", "5.2.", "Server"),
            ("vista", "6.0.", "Workstation"),
            # Wine 8 swaps the product types of its win7 and win2008r2 entries: win7 plays a
            # 6.1 server. The tool reports what the system says.
            ("win7", "6.1.", "Server"),
            ("win8", "6.2.", "Workstation"),
            ("win81", "6.3.", "Workstation"),
            ("win10", "10.0.", "Workstation"),
        ]
        try:
            for version, major_minor, product in releases:
                with self.subTest(version=version):
                    self.prefix.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", version)
                    expected_os = self.wine_version_line()
                    self.assertTrue(expected_os.startswith("OS: " + major_minor), expected_os)
                    run = self.run_in_prefix(self.data)
                    self.assertEqual(run.rc, 0)
                    self.assertEqual(report_line(run, "OS: "), ([expected_os], [expected_os]))
                    self.assertEqual(report_line(run, "Product Type: "),
                                     (["Product Type: " + product],) * 2)
                    self.assertNotIn(UNSUPPORTED, run.stdout)
                    self.assertNotIn("KB2533623", run.stdout)
                    self.assertIn("INFO: 0 infected files found.", run.texts())
        finally:
            self.prefix.reg("delete", r"HKCU\Software\Wine", "/v", "Version")

    def test_RegistryStagedReleases_UnknownOnesRefusedWithExit8(self):
        # Without a Version setting Wine takes the release from the Windows registry keys, which
        # can name releases it has no setting for.
        releases = [
            ("10.1", "WinNT", "Workstation", False),
            ("11.0", "WinNT", "Workstation", False),
            ("6.5", "ServerNT", "Server", False),
            ("6.4", "WinNT", "Workstation", True),  # early Windows 10 builds
            ("10.0", "LanmanNT", "Server", True),   # a domain controller is a server
        ]
        self.prefix.reg("add", CURRENT_VERSION, "/v", "CurrentBuildNumber", "/d", "22621")
        self.prefix.reg("add", r"HKLM\System\CurrentControlSet\Control\Windows", "/v",
                        "CSDVersion", "/t", "REG_DWORD", "/d", "0x200")
        try:
            for version, product_option, product, supported in releases:
                with self.subTest(version=version, product=product_option):
                    self.prefix.reg("add", CURRENT_VERSION, "/v", "CurrentVersion", "/d", version)
                    self.prefix.reg("add", r"HKLM\System\CurrentControlSet\Control\ProductOptions",
                                    "/v", "ProductType", "/d", product_option)
                    run = self.run_in_prefix("/n", self.data)
                    os_line = "OS: %s.22621 SP2" % version
                    self.assertEqual(report_line(run, "OS: "), ([os_line], [os_line]))
                    self.assertEqual(report_line(run, "Product Type: "),
                                     (["Product Type: " + product],) * 2)
                    if supported:
                        self.assertEqual(run.rc, 0)
                        self.assertNotIn(UNSUPPORTED, run.stdout)
                        continue
                    self.assertEqual(run.rc, 8)
                    lines = run.stdout.replace("\r\n", "\n").split("\n")
                    self.assertEqual(lines[-3:], ["", UNSUPPORTED, ""])
                    self.assertEqual(run.texts()[-2:], ["ERROR: " + UNSUPPORTED, "End"])
                    self.assertNotIn("NoCleaningMode Enabled", run.stdout)
        finally:
            self.prefix.reg("add", CURRENT_VERSION, "/v", "CurrentVersion", "/d", "6.1")
            self.prefix.reg("add", CURRENT_VERSION, "/v", "CurrentBuildNumber", "/d", "7601")
            self.prefix.reg("add", r"HKLM\System\CurrentControlSet\Control\ProductOptions",
                            "/v", "ProductType", "/d", "WinNT")

    def test_MachineGuid_AsStored_UpperCaseOrEmpty(self):
        def text(value, terminated=True):
            data = (value + ("\0" if terminated else "")).encode("utf-16-le")
            return ",".join("%02x" % b for b in data)

        # 2,046 bytes are asked for: 1,022 characters and their NUL.
        longest = "a" * 1022
        cases = [
            ("expandable, mixed case", "hex(2):" + text("4f1e-aBc-\u00e4z"), "4F1E-ABC-\u00e4Z"),
            ("stored without its NUL", "hex(1):" + text("ab-12", terminated=False), "AB-12"),
            ("longest that fits", "hex(1):" + text(longest), longest.upper()),
            ("one character too long", "hex(1):" + text(longest + "a"), ""),
            ("a number", "dword:00000017", ""),
            ("a list of strings", "hex(7):" + text("ab\0cd\0"), ""),
            ("missing", "-", ""),
        ]
        for what, value, expected in cases:
            with self.subTest(what=what):
                self.prefix.import_reg("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Cryptography]"
                                       "\r\n\"MachineGuid\"=" + value)
                run = self.run_in_prefix("/n", self.data)
                self.assertEqual(run.rc, 0)
                self.assertIn("INFO: Machine guid: " + expected, run.texts())
                if expected.isascii():
                    self.assertIn("Machine guid: " + expected, run.stdout.splitlines())


if __name__ == "__main__":
    main()
