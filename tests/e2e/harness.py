"""Runs the built executable under Wine on scratch directories and reads what it leaves."""
import contextlib
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from windows_run import command, pe_arch, runnable_archs, win_path  # noqa: E402,F401

BUILD = os.environ.get("BRISTOKE_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SOURCE = os.environ.get("BRISTOKE_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
EXE = os.path.join(BUILD, "BristokeDecryptor.exe")
TOOL_NAME = "BristokeDecryptor.exe"
# The same tool with its lookup of system functions replaced (tests/seam/seamed_tool.cpp).
SEAMED_EXE = os.path.join(BUILD, "tests", "seamed_tool.exe")


def project_version():
    """The version the build gives every program and the banner: the project's CMake version."""
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        return re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.+)$", f.read(), re.M).group(1)


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", os.path.join(BUILD, "wineprefix"))
    env["WINEDEBUG"] = "-all"
    if extra:
        env.update(extra)
    return env


@contextlib.contextmanager
def immutable(test, folder):
    """The folder takes no new, renamed or deleted entry, even from root, inside the block.
    chattr needs the machine's own root: in a user namespace (scripts/i386-namespace.sh playing
    a machine that cannot run 32-bit programs) root is only mapped, so the test is skipped."""
    with open("/proc/self/uid_map") as f:
        if f.read().split() != ["0", "0", "4294967295"]:
            test.skipTest("chattr +i needs the machine's own root, not a user namespace's")
    subprocess.run(["chattr", "+i", folder], check=True)
    try:
        yield
    finally:
        subprocess.run(["chattr", "-i", folder], check=True)


class Run:
    """What one run of the tool left: exit code, standard output and its log."""

    def __init__(self, rc, stdout, logs, stderr="", stdout_bytes=b""):
        self.rc = rc
        self.stdout = stdout
        # As written: redirected output is in the OEM code page, not UTF-8.
        self.stdout_bytes = stdout_bytes
        self.stderr = stderr
        self.logs = logs
        self.log = logs[0] if logs else None

    @property
    def log_lines(self):
        return self.log.split("\r\n")[:-1] if self.log else []

    def texts(self):
        """Log lines without their "[stamp] - " head."""
        return [line.split("] - ", 1)[1] if "] - " in line else line for line in self.log_lines]


class ToolTestCase(unittest.TestCase):
    """Gives each test a scratch directory with its own copy of the executable.

    Copies get unique names so that runs of parallel tests never meet at the
    single-instance mutex, which is named after the executable's file name."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="bristoke-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.cwd = os.path.join(self.tmp, "cwd")
        os.makedirs(self.cwd)

    def tool_copy(self, name=None, source=EXE):
        name = name or "BristokeDecryptor-%s.exe" % uuid.uuid4().hex[:8]
        directory = os.path.join(self.tmp, "bin-" + uuid.uuid4().hex[:6])
        os.makedirs(directory)
        path = os.path.join(directory, name)
        shutil.copy(source, path)
        return path

    def run_tool(self, *args, name=None, exe=None, cwd=None, stdin=subprocess.DEVNULL,
                 timeout=300, env=None, preexec=None):
        exe = exe or self.tool_copy(name)
        cwd = cwd or self.cwd
        before = set(glob.glob(os.path.join(cwd, "*.log")))
        proc = subprocess.run(command(exe, *args), cwd=cwd, stdin=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                              env=wine_env(env), preexec_fn=preexec)
        new_logs = sorted(set(glob.glob(os.path.join(cwd, os.path.basename(exe) + "_*.log"))) - before)
        logs = [read_log(path) for path in new_logs]
        return Run(proc.returncode, proc.stdout.decode("utf-8", "replace"), logs,
                   proc.stderr.decode("utf-8", "replace"), proc.stdout)

    def start_paused(self, pause, *args, cwd=None):
        """Starts the seamed tool with --seam-pause=PAUSE (FUNCTION:TEXT) and waits, at most two
        minutes, until it pauses there: (its process, the marker the test removes to let it go
        on, whether it paused before it ended)."""
        marker = os.path.join(self.tmp, "paused-" + uuid.uuid4().hex[:6])
        proc = subprocess.Popen(
            command(self.tool_copy(source=SEAMED_EXE),
                    "--seam-pause=%s:%s" % (pause, win_path(marker)), *args),
            cwd=cwd or self.cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, env=wine_env())
        deadline = time.time() + 120
        while not os.path.exists(marker) and proc.poll() is None and time.time() < deadline:
            time.sleep(0.02)
        return proc, marker, os.path.exists(marker)


def read_log(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"\xff\xfe"):
        raise AssertionError("log %s does not start with a UTF-16LE byte-order mark" % path)
    return data[2:].decode("utf-16-le")


def main():
    unittest.main(verbosity=2)
