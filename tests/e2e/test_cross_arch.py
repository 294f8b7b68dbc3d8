"""The 32-bit and the 64-bit builds are one tool: each build's tool cleans, byte for byte, the
samples that the other build's sample writer made, of every variant. Runs where the machine runs
both builds and both are built (scripts/test.sh builds both), in the 64-bit build's prefix,
which runs both."""
import filecmp
import os
import subprocess

from harness import BUILD, SOURCE, ToolTestCase, main, pe_arch, runnable_archs, wine_env, win_path
from samples import FOOTER_LENGTH, run_writer, write_blob_list

ARCHS = ("i686", "x86_64")


def build_of(arch):
    return os.path.join(os.path.dirname(os.path.abspath(BUILD)), arch)


class CrossArchitectureTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        missing = [arch for arch in ARCHS if arch not in runnable_archs()]
        if missing:
            self.skipTest("this machine cannot run the %s build" % " and ".join(missing))
        for arch in ARCHS:
            tool = os.path.join(build_of(arch), "BristokeDecryptor.exe")
            self.assertTrue(os.path.isfile(tool), "the %s build is missing: %s" % (arch, tool))
            self.assertEqual(pe_arch(tool), arch)
        prefix = os.path.join(build_of("x86_64"), "wineprefix")
        self.env = {"WINEPREFIX": prefix, "BRISTOKE_ARCH": "x86_64"}
        if os.path.abspath(prefix) != os.path.abspath(wine_env()["WINEPREFIX"]):
            script = os.path.join(SOURCE, "tests", "wine-prefix.sh")
            subprocess.run([script, "start"], env=wine_env(self.env), check=True, timeout=300)
            self.addCleanup(subprocess.run, [script, "stop"], env=wine_env(self.env),
                            timeout=60)

    def test_EachBuildCleansTheOtherBuildsSamples(self):
        keys = write_blob_list(os.path.join(self.tmp, "keys.txt"))
        plain = os.path.join(self.tmp, "plain")
        os.makedirs(plain)
        originals = {}
        for variant in sorted(FOOTER_LENGTH):
            # An odd size: the AES variants end in a padded block.
            path = os.path.join(plain, "v%d.dat" % variant)
            with open(path, "wb") as f:
                f.write(os.urandom(300001 + variant))
            originals[variant] = path
        for writer_arch, tool_arch in ((ARCHS[0], ARCHS[1]), (ARCHS[1], ARCHS[0])):
            with self.subTest(writer=writer_arch, tool=tool_arch):
                data = os.path.join(self.tmp, "by-" + writer_arch)
                os.makedirs(data)
                writer = os.path.join(build_of(writer_arch), "BristokeSampleWriter.exe")
                for variant, path in originals.items():
                    rc, written, stderr = run_writer(keys, data, [path], "--variant",
                                                     str(variant), writer=writer, env=self.env)
                    self.assertEqual((rc, len(written)), (0, 1), stderr)
                tool = self.tool_copy(
                    source=os.path.join(build_of(tool_arch), "BristokeDecryptor.exe"))
                run = self.run_tool("/s", win_path(data), exe=tool, env=self.env)
                self.assertEqual(run.rc, 0, run.stdout)
                self.assertIn("INFO: %d file(s) cleaned." % len(originals), run.texts())
                for path in originals.values():
                    cleaned = os.path.join(data, os.path.basename(path))
                    self.assertTrue(filecmp.cmp(path, cleaned, shallow=False), cleaned)


if __name__ == "__main__":
    main()
