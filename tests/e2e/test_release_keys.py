"""Which keys a release carries: the release command refuses the demo keys unless asked
(--demo), and --demo with keys of another list; a release of a key list of its own and a demo
release name two key sets, in their zips' names, guides, version resources and runs' logs.
The release's symbols name the tool's functions with their files. One clone, the build under
test's architecture, the second release built over the first."""
import os
import shutil
import subprocess
import sys
import tempfile

from harness import SOURCE, ToolTestCase, main, win_path
from release_runs import TRIPLES, clone, fingerprint, package_name, release

ARCH = os.environ.get("BRISTOKE_ARCH", "i686")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import pe_resources  # noqa: E402


def make_key_list(folder, count):
    """A key list of count new RSA-2048 keys, as PEM files beside it."""
    os.makedirs(folder)
    names = []
    for n in range(count):
        names.append("key-%d.pem" % n)
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                        "rsa_keygen_bits:2048", "-out", os.path.join(folder, names[-1])],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    path = os.path.join(folder, "keys.txt")
    with open(path, "w") as f:
        f.write("# keys of this test only\n" + "\n".join(names) + "\n")
    return path


class ReleaseKeysTests(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="bristoke-release-keys-")
        cls.checkout = os.path.join(cls.work.name, "checkout")
        clone(cls.checkout)
        cls.own_list = make_key_list(os.path.join(cls.work.name, "own-keys"), 2)
        own = {"BRISTOKE_KEY_LIST": cls.own_list}
        cls.refused_demo = release(cls.checkout, [ARCH], args=())
        cls.refused_flag = release(cls.checkout, [ARCH], env=own)
        cls.own_run = release(cls.checkout, [ARCH], env=own, args=())
        cls.own_dist = os.path.join(cls.work.name, "own-dist")
        if os.path.isdir(os.path.join(cls.checkout, "dist")):
            shutil.move(os.path.join(cls.checkout, "dist"), cls.own_dist)
        cls.demo_run = release(cls.checkout, [ARCH])
        cls.demo_dist = os.path.join(cls.checkout, "dist")
        cls.own_name = package_name(cls.checkout, ARCH, cls.own_list, "keys")
        cls.demo_name = package_name(cls.checkout, ARCH)
        cls.fingerprints = {"own": fingerprint(cls.checkout, cls.own_list),
                            "demo": fingerprint(cls.checkout)}

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def releases(self):
        """(which, the release's dist folder, its package name, its key count)."""
        return [("own", self.own_dist, self.own_name, 2),
                ("demo", self.demo_dist, self.demo_name, 3)]

    def test_DemoKeys_RefusedWithoutDemoAndDemoRefusedForOtherKeys(self):
        for run, said in ((self.refused_demo, "holds demo keys"),
                          (self.refused_flag, "--demo, but the key list")):
            self.assertEqual(run.returncode, 1, run.stdout)
            self.assertIn("[release] refused: ", run.stdout)
            self.assertIn(said, run.stdout)
            self.assertNotIn("building the", run.stdout)
        self.assertEqual((self.own_run.returncode, self.demo_run.returncode), (0, 0),
                         self.own_run.stdout[-3000:] + self.demo_run.stdout[-3000:])

    def test_TwoKeyLists_TwoFingerprintsInNamesGuidesResourcesAndLogs(self):
        self.assertNotEqual(self.fingerprints["own"], self.fingerprints["demo"])
        self.assertTrue(self.own_name.endswith("-keys-" + self.fingerprints["own"]))
        self.assertTrue(self.demo_name.endswith("-demo-keys-" + self.fingerprints["demo"]))
        for which, dist, name, keys in self.releases():
            key_set = "key set " + self.fingerprints[which]
            with self.subTest(which):
                self.assertTrue(os.path.isfile(os.path.join(dist, name + ".zip")), os.listdir(dist))
                with open(os.path.join(dist, name, "README.txt"), encoding="ascii") as f:
                    guide = f.read()
                self.assertIn("Keys: " + key_set, guide)
                self.assertIn(name + ".zip", guide.splitlines()[0])
                self.assertEqual("DEMO RELEASE" in guide, which == "demo")
                exe = os.path.join(dist, name, "BristokeDecryptor.exe")
                info, _ = pe_resources.read(exe)
                self.assertTrue(info["Comments"].endswith("; " + key_set), info["Comments"])
                print("\n%s: %s\n  Comments: %s" % (which, name, info["Comments"]))
                empty = os.path.join(self.tmp, "empty-" + which)
                os.makedirs(empty)
                run = self.run_tool("/s", win_path(empty), exe=self.tool_copy(source=exe))
                self.assertEqual(run.rc, 0, run.stdout[-2000:])
                line = "INFO: Keys loaded: %d of %d, %s" % (keys, keys, key_set)
                self.assertIn(line, run.texts())
                print("  log: " + line)

    def test_Symbols_NameTheToolsFunctionsWithFileAndLine(self):
        symbols = os.path.join(self.demo_dist, "symbols", self.demo_name, "BristokeDecryptor.exe")
        table = subprocess.run([TRIPLES[ARCH] + "-nm", "-C", symbols], check=True,
                               stdout=subprocess.PIPE, text=True).stdout
        [address] = [line.split()[0] for line in table.splitlines()
                     if line.endswith(" RunCleaner(int, wchar_t**)")]
        named = subprocess.run([TRIPLES[ARCH] + "-addr2line", "-f", "-C", "-e", symbols,
                                "0x" + address], check=True, stdout=subprocess.PIPE,
                               text=True).stdout.splitlines()
        print("\naddr2line 0x%s: %s" % (address, named))
        self.assertEqual(named[0], "RunCleaner(int, wchar_t**)")
        self.assertRegex(named[1], r"src/driver/run_cleaner\.cpp:\d+$")


if __name__ == "__main__":
    main()
