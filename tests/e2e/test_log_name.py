"""The log file: named after the executable, the local time and the process, written in the
current directory."""
import math
import os
import re
import time

from harness import ToolTestCase, main

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
