"""Every program of the build carries the project's version and the commit it was built from
in its version resource, and its manifest asks for no elevation and names the releases from
Vista to 10 and 11. Read twice: from the file by scripts/pe_resources.py (what the release
command prints), and under Wine through the system's own calls (resource_probe.exe: the version
API that Explorer's Details tab uses, and the activation context the loader makes from the
manifest). The banner shows the same version."""
import os
import subprocess
import sys

from harness import (BUILD, SOURCE, ToolTestCase, command, main, pe_arch, project_version,
                     win_path)

sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pe_resources  # noqa: E402
from key_resources import key_set  # noqa: E402

PROBE = os.path.join(BUILD, "tests", "resource_probe.exe")
BITS = {"i686": "32-bit", "x86_64": "64-bit"}
MANIFEST_ARCH = {"i686": "x86", "x86_64": "amd64"}
SUPPORTED = ["Windows Vista", "Windows 7", "Windows 8", "Windows 8.1", "Windows 10 and 11"]
ACTCTX_RUN_LEVEL_AS_INVOKER = "1"


def built_from():
    """What the programs must say of their sources, worked out here from git."""
    def git(*args):
        return subprocess.run(["git", "-C", SOURCE] + list(args), check=True,
                              stdout=subprocess.PIPE, text=True).stdout.strip()
    text = "Built from commit " + git("rev-parse", "HEAD")
    if git("status", "--porcelain"):
        text += " with uncommitted changes"
    return text


def carries_keys(path):
    """Whether ninja links the key database resource into the program."""
    inputs = subprocess.run(["ninja", "-C", BUILD, "-t", "query", os.path.relpath(path, BUILD)],
                            check=True, stdout=subprocess.PIPE, text=True).stdout
    return "key_database.rc" in inputs


def programs():
    """Every executable the build makes, as ninja lists its outputs."""
    targets = subprocess.run(["ninja", "-C", BUILD, "-t", "targets", "all"], check=True,
                             stdout=subprocess.PIPE, text=True).stdout
    outputs = [line.split(": ") for line in targets.splitlines()]
    return sorted(os.path.join(BUILD, path) for path, rule in outputs
                  if path.endswith(".exe") and rule != "phony")


def probe(path):
    """{name: value} of what the system reads; the supported releases as a list."""
    proc = subprocess.run(command(PROBE, win_path(path)), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=60)
    if proc.returncode != 0:
        raise AssertionError("resource_probe failed on %s: %s" % (path, proc.stderr))
    values, supported = {}, []
    for line in proc.stdout.splitlines():
        name, value = line.split(": ", 1)
        if name == "supported OS":
            supported.append(value)
        else:
            values[name] = value
    return values, supported


class ResourceTests(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = project_version()
        cls.built_from = built_from()
        cls.key_set = key_set()
        cls.programs = programs()

    def test_EveryProgram_VersionResourceFromTheProject(self):
        self.assertIn(os.path.join(BUILD, "BristokeDecryptor.exe"), self.programs)
        self.assertIn(os.path.join(BUILD, "BristokeReport.exe"), self.programs)
        self.assertTrue(carries_keys(os.path.join(BUILD, "BristokeDecryptor.exe")))
        self.assertFalse(carries_keys(os.path.join(BUILD, "BristokeReport.exe")))
        for path in self.programs:
            with self.subTest(program=os.path.relpath(path, BUILD)):
                info, _ = pe_resources.read(path)
                self.assertIsNotNone(info, "no version resource")
                for field in ("fixed file version", "fixed product version", "FileVersion",
                              "ProductVersion"):
                    self.assertEqual(info[field], self.version, field)
                self.assertEqual(info["OriginalFilename"], os.path.basename(path))
                self.assertEqual(info["InternalName"], os.path.basename(path)[:-4])
                self.assertEqual(info["ProductName"], "Bristoke decryptor")
                self.assertTrue(info["FileDescription"].endswith(" (%s)" % BITS[pe_arch(path)]),
                                info["FileDescription"])
                # The key set's fingerprint, where the program carries the keys.
                self.assertEqual(info["Comments"], self.built_from + "; " + self.key_set
                                 if carries_keys(path) else self.built_from)
                self.assertEqual(info["translation"], info["declared translation"])

    def test_EveryProgram_ManifestAsInvokerForVistaTo11(self):
        for path in self.programs:
            with self.subTest(program=os.path.relpath(path, BUILD)):
                _, text = pe_resources.read(path)
                self.assertIsNotNone(text, "no manifest")
                manifest = pe_resources.manifest_info(text)
                self.assertEqual(manifest["run level"], "asInvoker")
                self.assertEqual(manifest["ui access"], "false")
                self.assertEqual([pe_resources.SUPPORTED_OS.get(guid)
                                  for guid in manifest["supported OS"]], SUPPORTED)
                self.assertEqual(manifest["identity"], {
                    "type": "win32", "name": "Bristoke." + os.path.basename(path)[:-4],
                    "version": self.version,
                    "processorArchitecture": MANIFEST_ARCH[pe_arch(path)]})
                # Neither is needed by a console program, and each changes how Windows treats it.
                self.assertNotIn("Common-Controls", text)
                self.assertNotIn("dpiAware", text)

    def test_EveryProgram_SystemReadsWhatTheFileHolds(self):
        for path in self.programs:
            with self.subTest(program=os.path.relpath(path, BUILD)):
                info, text = pe_resources.read(path)
                values, supported = probe(path)
                read = {name: value for name, value in values.items()
                        if name not in ("run level", "ui access")}
                self.assertEqual(read, {name: value for name, value in info.items()
                                        if name != "declared translation"})
                self.assertEqual(values["run level"], ACTCTX_RUN_LEVEL_AS_INVOKER)
                self.assertEqual(values["ui access"], "0")
                self.assertEqual(supported, pe_resources.manifest_info(text)["supported OS"])

    def test_Banner_ShowsTheVersionOfTheResource(self):
        info, _ = pe_resources.read(os.path.join(BUILD, "BristokeDecryptor.exe"))
        data = os.path.join(self.tmp, "data")
        os.makedirs(data)
        run = self.run_tool("/n", win_path(data))
        self.assertEqual(run.rc, 0)
        shown = "   Version: " + info["FileVersion"]
        self.assertEqual(len([line for line in run.texts() if line.endswith(shown)]), 1)
        self.assertIn(shown + "\r\n", run.stdout)


if __name__ == "__main__":
    main()
