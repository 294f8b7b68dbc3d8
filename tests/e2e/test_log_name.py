"""The log file: named after the executable, the local time and the process, written in the
current directory."""
import math
import os
import re
import subprocess
import time

from harness import ToolTestCase, main, read_log, wine_env

LOG_NAME = re.compile(r"^(?P<exe>.+)_(?P<stamp>\d{8}\.\d{6})\.(?P<pid>\d+)\.log$")


class LogNameTests(ToolTestCase):
    def test_LogName_ExecutableLocalTimeAndProcess_InCurrentDirectoryOnly(self):
        exe = self.tool_copy()
        before = math.floor(time.time())
        run = self.run_tool(exe=exe)
        after = time.time()
        self.assertEqual(run.rc, 1)
        names = os.listdir(self.cwd)
        self.assertEqual(len(names), 1, names)
        match = LOG_NAME.match(names[0])
        self.assertIsNotNone(match, names[0])
        self.assertEqual(match.group("exe"), os.path.basename(exe))
        started = time.mktime(time.strptime(match.group("stamp"), "%Y%m%d.%H%M%S"))
        self.assertTrue(before <= started <= after, (before, started, after))
        self.assertEqual([n for n in os.listdir(os.path.dirname(exe)) if n.endswith(".log")], [])

    def test_TwoRunsInTheSameSecond_TwoLogFiles(self):
        exe = self.tool_copy()
        for attempt in range(10):
            cwd = os.path.join(self.tmp, "same-second-%d" % attempt)
            os.makedirs(cwd)
            runs = [subprocess.Popen(["wine", exe], cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     env=wine_env()) for _ in range(2)]
            self.assertEqual([r.wait(timeout=120) for r in runs], [1, 1])
            names = sorted(os.listdir(cwd))
            self.assertEqual(len(names), 2, names)
            stamps = [LOG_NAME.match(n).group("stamp") for n in names]
            if stamps[0] != stamps[1]:
                continue
            pids = {LOG_NAME.match(n).group("pid") for n in names}
            self.assertEqual(len(pids), 2, names)
            for name in names:
                texts = [line.split("] - ", 1)[1] for line in
                         read_log(os.path.join(cwd, name)).split("\r\n")[:-1]]
                self.assertEqual((texts[0], texts[-1], texts.count("Begin")), ("Begin", "End", 1))
            return
        self.fail("no two runs started within the same second")

    def test_RenamedExecutable_RenamesItsLogFile(self):
        run = self.run_tool(name="decryptor.exe")
        self.assertEqual(run.rc, 1)
        names = os.listdir(self.cwd)
        self.assertEqual(len(names), 1, names)
        self.assertTrue(names[0].startswith("decryptor.exe_"), names)
        self.assertIn("decryptor.exe [options] <filename(s) or directory name(s)>",
                      run.stdout.splitlines())


if __name__ == "__main__":
    main()
