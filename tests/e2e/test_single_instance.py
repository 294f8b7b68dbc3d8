"""One instance per executable file name: a second run of the same name is turned away with
exit code 6, a copy under another name runs."""
import glob
import os
import subprocess
import time

from harness import SEAMED_EXE, ToolTestCase, command, main, wine_env, win_path

NAME = "decryptor.exe"


class SingleInstanceTests(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)

    def hold(self, name, *args):
        """Starts a run of the tool under that name that keeps its process, and so its mutex,
        after the run until release() (the seamed build's --seam-hold)."""
        exe = self.tool_copy(name, source=SEAMED_EXE)
        cwd = os.path.join(self.tmp, "holder")
        os.makedirs(cwd)
        holder = subprocess.Popen(command(exe, "--seam-hold", *args), cwd=cwd,
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, env=wine_env())
        self.addCleanup(self.release, holder)
        deadline = time.time() + 120
        while time.time() < deadline:
            for log in glob.glob(os.path.join(cwd, name + "_*.log")):
                with open(log, "rb") as f:
                    if f.read().endswith("] - End\r\n".encode("utf-16-le")):
                        return holder
            self.assertIsNone(holder.poll(), "the holding run ended early")
            time.sleep(0.1)
        self.fail("the holding run did not finish its run")

    @staticmethod
    def release(holder):
        if holder.poll() is None:
            holder.stdin.close()
            try:
                holder.wait(timeout=60)
            except subprocess.TimeoutExpired:
                holder.kill()
                holder.wait()

    def test_SameName_SecondRunEndsWith6_OtherNameRuns_AndTheMutexDiesWithItsProcess(self):
        holder = self.hold(NAME, "/n", win_path(self.data))

        second = self.run_tool("/n", win_path(self.data), name=NAME)
        self.assertEqual(second.rc, 6)
        self.assertIn("Another Instance Running", second.stdout)
        self.assertIn("Another instance of the cleaner is already running.", second.stdout)
        self.assertNotIn("Looking for infected files...", second.stdout)
        self.assertNotIn("INFO: Looking for infected files...", second.texts())
        self.assertEqual(second.texts()[-1], "End")

        other = self.run_tool("/n", win_path(self.data), name="other-" + NAME)
        self.assertEqual(other.rc, 0)
        self.assertIn("INFO: 0 infected files found.", other.texts())

        self.release(holder)
        self.assertEqual(holder.returncode, 0)
        again = self.run_tool("/n", win_path(self.data), name=NAME)
        self.assertEqual(again.rc, 0)

    def test_SilentOrForcedSecondRun_EndsWith6WithoutPrompt(self):
        self.hold(NAME, "/n", win_path(self.data))
        for switch in ("/s", "/f"):
            with self.subTest(switch=switch):
                run = self.run_tool(switch, "/n", win_path(self.data), name=NAME)
                self.assertEqual(run.rc, 6)
                self.assertNotIn("Another Instance Running", run.stdout)

    def test_RunShowingUsage_CreatesNoMutex(self):
        self.hold(NAME)  # no path: usage, exit code 1
        run = self.run_tool("/n", win_path(self.data), name=NAME)
        self.assertEqual(run.rc, 0)


if __name__ == "__main__":
    main()
