"""A real console for tests: a program under Wine in a tmux pane of a private tmux server.

Wine gives a program a real console when its standard output is a terminal; the pane is that
terminal. Wine's console draws with fixed VT sequences whatever TERM says. Each console gets its
own tmux server, with its socket in the test's directory, so that no other tmux server's
environment leaks into the program; the server is always killed when the test ends."""
import os
import re
import shlex
import subprocess
import time
import uuid

from harness import wine_env
from windows_run import shell_command

# Windows console colours; an attribute is background * 16 + foreground.
BLUE, RED, GREY = 1, 4, 7
LIGHT_GREEN, LIGHT_CYAN, LIGHT_RED, YELLOW, WHITE = 10, 11, 12, 14, 15
# What ends a prompt's message row while it waits for its key.
WAITING_TAGS = ("[Yes / No]", "[Press Any Key]")
# ANSI colour index -> Windows colour bits (1 blue, 2 green, 4 red).
_ANSI_TO_WINDOWS = [0, 4, 2, 6, 1, 5, 3, 7]
_SEQUENCE = re.compile(r"\x1b\[([0-9;]*)([A-Za-z])|(.)", re.S)


def on(background, foreground):
    return background * 16 + foreground


class Screen:
    """One capture of the pane: its rows as text (trailing blanks dropped) and, for each cell, the
    Windows console attribute (background * 16 + foreground) it shows."""

    def __init__(self, coloured_capture):
        self.rows = []
        self.attributes = []
        foreground, background = 7, 0  # the pane's default colours are what Wine draws for 7
        for line in coloured_capture.split("\n"):
            text, attributes = [], []
            for match in _SEQUENCE.finditer(line):
                if match.group(3) is not None:
                    text.append(match.group(3))
                    attributes.append(background * 16 + foreground)
                elif match.group(2) == "m":
                    foreground, background = _apply_sgr(match.group(1), foreground, background)
            self.rows.append("".join(text).rstrip())
            self.attributes.append(attributes)

    def __str__(self):
        return "\n".join("%2d|%s" % (i, row) for i, row in enumerate(self.rows))

    def row_with(self, text):
        """The index of the first row that contains the text."""
        for index, row in enumerate(self.rows):
            if text in row:
                return index
        raise AssertionError("%r is not on the screen:\n%s" % (text, self))

    def colours(self, row, text):
        """The set of attributes of the cells of the first occurrence of text in a row."""
        start = self.rows[row].index(text)
        return set(self.attributes[row][start:start + len(text)])

    def colours_of(self, text):
        """The set of attributes of the cells of text's first occurrence on the screen."""
        return self.colours(self.row_with(text), text)

    def row_colours(self, row):
        """The attributes of every cell the capture has for the row (cells never drawn are left
        out)."""
        return set(self.attributes[row])


def _colour(ansi_index, bright):
    return _ANSI_TO_WINDOWS[ansi_index] + (8 if bright else 0)


def _apply_sgr(parameters, foreground, background):
    values = [int(p) if p else 0 for p in parameters.split(";")]
    i = 0
    while i < len(values):
        value, tens, units = values[i], values[i] // 10, values[i] % 10
        if value == 0:
            foreground, background = 7, 0
        elif value in (38, 48) and values[i + 1:i + 2] == [5] and i + 2 < len(values):
            colour = _colour(values[i + 2] % 8, 8 <= values[i + 2] < 16)  # 256-colour form
            foreground, background = (colour, background) if value == 38 else (foreground, colour)
            i += 2
        elif tens in (3, 9) and units < 8:
            foreground = _colour(units, tens == 9)
        elif tens in (4, 10) and units < 8:
            background = _colour(units, tens == 10)
        elif value == 39:
            foreground = 7
        elif value == 49:
            background = 0
        i += 1
    return foreground, background


class TmuxConsole:
    """Starts the Windows program with args in a width x height pane, in cwd (the directory unless given);
    the pane stays after the program ended so that its last screen can be read."""

    def __init__(self, testcase, directory, program, args=(), width=100, height=30, stdin=None,
                 cwd=None):
        self.name = "bristoke-%s" % uuid.uuid4().hex[:12]
        self.socket = os.path.join(directory, self.name + ".socket")
        self.rc_path = os.path.join(directory, self.name + ".rc")
        env = wine_env()
        command = "env WINEPREFIX=%s WINEDEBUG=-all %s" % (
            shlex.quote(env["WINEPREFIX"]), shell_command(program, *args))
        if stdin:
            command += " < " + shlex.quote(stdin)
        shell = "cd %s && %s; echo $? > %s; exec sleep 3600" % (
            shlex.quote(cwd or directory), command, shlex.quote(self.rc_path))
        testcase.addCleanup(self.close)
        self._tmux("new-session", "-d", "-s", self.name, "-x", str(width), "-y", str(height), shell)

    def _tmux(self, *args):
        return subprocess.run(["tmux", "-S", self.socket, "-f", "/dev/null"] + list(args),
                              check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=30).stdout.decode("utf-8", "replace")

    def close(self):
        subprocess.run(["tmux", "-S", self.socket, "kill-server"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        # A killed server leaves its socket behind.
        if os.path.exists(self.socket):
            os.remove(self.socket)

    def screen(self):
        capture = self._tmux("capture-pane", "-p", "-e", "-N", "-t", self.name)
        return Screen(capture[:-1] if capture.endswith("\n") else capture)

    def send(self, *keys):
        self._tmux("send-keys", "-t", self.name, *keys)

    def running(self):
        return not os.path.exists(self.rc_path)

    def wait_for(self, text, timeout=30):
        """The screen once it shows the text (rows end without their trailing blanks)."""
        return self._wait(lambda screen: any(text in row for row in screen.rows),
                          "%r did not appear" % text, timeout)

    def wait_for_prompt(self, text, timeout=30):
        """The screen once it shows the text and a prompt waiting for its key. A prompt drops the
        keys typed ahead before it draws its waiting tag, never after, so a key sent now is read
        by it."""
        return self._wait(
            lambda screen: (any(text in row for row in screen.rows) and
                            any(row.endswith(WAITING_TAGS) for row in screen.rows)),
            "no prompt waits with %r on the screen" % text, timeout)

    def _wait(self, shown, what, timeout):
        deadline = time.monotonic() + timeout
        while True:
            screen = self.screen()
            if shown(screen):
                return screen
            if time.monotonic() > deadline:
                raise AssertionError("%s:\n%s" % (what, screen))
            time.sleep(0.1)

    def wait_exit(self, timeout=30):
        """The program's exit code once it ended."""
        deadline = time.monotonic() + timeout
        while self.running():
            if time.monotonic() > deadline:
                raise AssertionError("the program is still running:\n%s" % self.screen())
            time.sleep(0.1)
        # The shell writes the file in pieces; wait for the line end.
        while True:
            with open(self.rc_path) as f:
                content = f.read()
            if content.endswith("\n"):
                return int(content)
            time.sleep(0.05)
