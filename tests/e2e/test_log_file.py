"""The run's log file as a user finds it: encoding, line layout, and the runs it cannot keep."""
import os
import re
import resource
import signal

from harness import ToolTestCase, main, win_path

STAMPED = re.compile(r"\[\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] - ")
FATAL = "Fatal error occured, consult support."
# Wine's own start-up needs a few KiB of file size; 16 KiB leaves it room.
FILE_SIZE_LIMIT = 16 * 1024


def limit_file_size():
    """Disk full as the tool meets it: writes beyond the limit fail with an error instead
    of the process being killed."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (FILE_SIZE_LIMIT, FILE_SIZE_LIMIT))


class LogFileTests(ToolTestCase):
    def log_path(self):
        logs = [name for name in os.listdir(self.cwd) if name.endswith(".log")]
        self.assertEqual(len(logs), 1, logs)
        return os.path.join(self.cwd, logs[0])

    def assert_no_wine_crash(self, run):
        self.assertNotIn("Unhandled exception", run.stderr)
        self.assertNotIn("Backtrace:", run.stderr)

    def test_Run_LogIsUtf16WithBomBeginFirstEndLastEveryLineStamped(self):
        data = os.path.join(self.tmp, "data")
        os.makedirs(data)
        # A name beyond ASCII shows that the text is UTF-16, not a code page.
        missing = os.path.join(self.tmp, "r\u00e9sum\u00e9 \u65e5\u672c", "missing.txt")
        run = self.run_tool("/s", win_path(data), win_path(missing))
        # A path that names nothing: the run says so in its exit code.
        self.assertEqual(run.rc, 2)
        with open(self.log_path(), "rb") as f:
            raw = f.read()
        self.assertEqual(raw[:2], b"\xff\xfe")
        text = raw[2:].decode("utf-16-le")
        self.assertTrue(text.endswith("\r\n"), text[-40:])
        lines = text.split("\r\n")[:-1]
        self.assertGreater(len(lines), 5)
        for line in lines:
            self.assertTrue(STAMPED.match(line), line)
        texts = [STAMPED.sub("", line, count=1) for line in lines]
        self.assertEqual(texts[0], "Begin")
        self.assertEqual(texts[-1], "End")
        self.assertIn("WARNING: Invalid Path [%s]" % win_path(missing), texts)

    def test_CurrentDirectoryRefusesNewFiles_CouldntCreateLogfileAndExit11(self):
        # Even root cannot create a file in /sys.
        run = self.run_tool("/s", win_path(self.tmp), cwd="/sys")
        self.assertEqual(run.rc, 11)
        self.assertEqual(run.stdout, "Couldn't create logfile!")
        self.assertEqual(run.logs, [])
        self.assert_no_wine_crash(run)

    def test_LogWriteFailsMidRun_EndsThroughTheCrashHandlerWith255(self):
        # Enough missing paths to carry the log past the file-size limit during the walk.
        paths = [win_path(os.path.join(self.tmp, "missing-%03d" % i, "f.txt")) for i in range(300)]
        run = self.run_tool("/s", *paths, preexec=limit_file_size)
        self.assertEqual(run.rc, 255, run.stderr[-2000:])
        self.assert_no_wine_crash(run)
        self.assertIn(FATAL, run.stdout)
        size = os.path.getsize(self.log_path())
        self.assertGreater(size, FILE_SIZE_LIMIT - 512)
        self.assertLessEqual(size, FILE_SIZE_LIMIT)
        texts = run.texts()
        self.assertEqual(texts[0], "Begin")
        self.assertTrue(any(t.startswith("WARNING: Invalid Path [") for t in texts))
        # The log stops where the disk filled: no report of the crash, no end marker.
        self.assertNotIn("End", texts)
        self.assertNotIn("End (crash)", texts)
        self.assertNotIn("ERROR: " + FATAL, texts)


if __name__ == "__main__":
    main()
