"""How this machine runs the 32-bit build: natively where the kernel runs 32-bit programs, else
through the emulator where setup's probe found that it works. Played in a private namespace whose
kernel refuses every 32-bit program (scripts/i386-namespace.sh refuse), on any machine whose
kernel gives a namespace a binfmt_misc of its own; the machine's own record is left as it was."""
import os
import subprocess
import unittest

from harness import BUILD, SOURCE, main, wine_env

SCRIPTS = os.path.join(SOURCE, "scripts")
NAMESPACE = os.path.join(SCRIPTS, "i386-namespace.sh")
LOADER_32 = "/usr/lib/wine/wine"
# The 32-bit build's tool, and a prefix that cannot be: Wine's 32-bit loader says so and stops,
# which shows that it ran, before any prefix is made.
TOOL_32 = os.path.join(os.path.dirname(os.path.abspath(BUILD)), "i686", "BristokeDecryptor.exe")
NO_PREFIX = "/etc/hostname"
DEPS = os.environ.get("BRISTOKE_DEPS", "/opt/bristoke-deps")
LOADER_RAN = "wine: cannot use directory %s : Not a directory" % NO_PREFIX

# The loader run directly, setup's probe (in the namespace only: outside it would write the
# machine's own record) and its record, then the tool through windows-run.sh. Each step's output
# is framed for the test to split.
STEPS = """
%(loader)s --version >/dev/null 2>&1 && echo kernel-runs || echo kernel-refuses
echo ---
$PROBE
echo ---
cat "$BRISTOKE_DEPS/machine/native-builds" "$BRISTOKE_DEPS/machine/emulated-builds"
echo ---
WINEPREFIX=%(prefix)s %(scripts)s/windows-run.sh %(tool)s 2>&1
""" % {"loader": LOADER_32, "scripts": SCRIPTS, "prefix": NO_PREFIX, "tool": TOOL_32}


def run_steps(with_probe, *wrapper):
    env = wine_env({"PROBE": os.path.join(SCRIPTS, "probe-builds.sh") if with_probe else "true",
                    "BRISTOKE_DEPS": DEPS})
    done = subprocess.run(list(wrapper) + ["bash", "-c", STEPS], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=300)
    kernel, said, record, tool = done.stdout.split("---\n")
    return kernel.strip(), said.strip(), record.split("\n")[:2], tool


def machine_record():
    with open(os.path.join(DEPS, "machine", "native-builds")) as native, \
            open(os.path.join(DEPS, "machine", "emulated-builds")) as emulated:
        return native.read(), emulated.read()


class RunWayTests(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.path.isfile(TOOL_32), "the 32-bit build is missing: " + TOOL_32)
        tried = subprocess.run([NAMESPACE, "refuse", "true"], stderr=subprocess.PIPE, text=True)
        if tried.returncode != 0:
            self.skipTest("no namespace refuses 32-bit programs here: " + tried.stderr.strip())
        self.record = machine_record()

    def tearDown(self):
        self.assertEqual(machine_record(), self.record, "the machine's own record changed")

    def test_KernelRefuses32BitPrograms_ProbeRecordsTheEmulatorAndTheToolRunsThroughIt(self):
        kernel, probe, record, tool = run_steps(True, NAMESPACE, "refuse")
        self.assertEqual(kernel, "kernel-refuses")
        self.assertEqual(record, ["x86_64", "i686"])
        self.assertIn("it cannot execute 32-bit programs, so it runs the 32-bit build (i686) "
                      "through QEMU's user-mode emulator", probe)
        # Only the emulator can have run Wine's 32-bit loader where the kernel refuses it.
        self.assertIn(LOADER_RAN, tool)

    def test_OutsideTheNamespace_TheRecordIsTheKernelsOwnAnswerAndTheToolRuns(self):
        if os.environ.get("BRISTOKE_I386_NAMESPACE") == "emulate":
            self.skipTest("the kernel's own answer is hidden where it hands 32-bit programs to "
                          "the emulator")
        kernel, _, record, tool = run_steps(False)
        native = record[0].split()
        self.assertEqual("i686" in native, kernel == "kernel-runs")
        # Emulated only where the kernel refuses.
        self.assertEqual(record[1], "" if "i686" in native else "i686")
        self.assertIn(LOADER_RAN, tool)


if __name__ == "__main__":
    main()
