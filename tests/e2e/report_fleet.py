"""A fleet's logs for the report tests: real runs of the tool under several Windows releases and
machine GUIDs (clean, with failures, list-only, killed, crashed, stopped at its start), put in a
folder tree with renamed logs, a damaged copy, a copy cut mid-line and files that are not logs.
Each log comes with the CSV rows the report must write for it."""
import glob
import os
import shutil
import signal
import subprocess
import time
import types
import uuid

from decryption import DEMO_KEY_LIST, cleaning_path, partial_path, run_counter
from harness import SEAMED_EXE, Run, command, read_log, wine_env, win_path
from samples import run_writer
from tmux_console import TmuxConsole

IO_BUFFER_SIZE = 10 * 1024 * 1024
QUESTION = "Do you want to overwrite the following file?"
# File names with what CSV and HTML must escape, characters beyond the BMP, and brackets.
AWKWARD_NAME = "r&d, 'x' \u00fc \u65e5\u672c \U0001F600 a]b [c].docx"
AWKWARD_FAILING = "broken &amp; 'q' \u00e9 \U0001F600 [x].pdf"


class Summary:
    """What a run's own row says: its counts, its exit code, why it stopped and how its log was
    re-saved."""

    def __init__(self, found, cleaned, exit_code=None, why="", cut_line=False):
        self.found, self.cleaned, self.exit_code = found, cleaned, exit_code
        self.why, self.cut_line = why, cut_line
        self.resaved = ""

    def notes(self):
        return "; ".join(note for note in [self.why, self.cut_line and "the last line is cut off",
                                           self.resaved] if note)


class Log:
    """One file of the tree and the rows the report must write for it: machine is (GUID, OS,
    product type), or None for a file that is not a log; files are (path, outcome, reason) in
    any order; ends are (outcome, reason or Summary), in order, after them."""

    def __init__(self, path, machine, files, ends):
        self.path, self.machine, self.files, self.ends = path, machine, files, ends
        self.notices = False  # it holds warning or error rows besides these
        # Its run's "Begin" stamp; set where a file holds more than one run.
        self.start = begin_stamp(path) if machine is not None else ""

    @property
    def win(self):
        return win_path(self.path)


def begin_stamp(log_path):
    return log_text(log_path)[1:24]


def log_text(path):
    """A log's text, as the tool wrote it or re-saved as UTF-8."""
    with open(path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xef\xbb\xbf"):
        return raw[3:].decode("utf-8")
    return raw[2:].decode("utf-16-le", "replace")


def write_utf16_log(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


class Fleet:
    """Makes the runs in root; prefix is a private Wine prefix whose machine GUID the runs set
    (test_release_matrix.PrivatePrefix); the killed run uses the shared test prefix."""

    def __init__(self, owner, root, prefix):
        self.owner = owner  # has addCleanup, for the tmux console
        self.root = root
        self.prefix = prefix
        self.tree = os.path.join(root, "logs")
        self.logs = []
        self.plain = os.path.join(root, "plain")
        os.makedirs(self.plain)

    # --- building blocks -------------------------------------------------------------------

    def samples(self, directory, names, *options):
        """Encrypted files made from fresh plain files; returns their paths."""
        os.makedirs(directory, exist_ok=True)
        written = []
        for name in names:
            plain = os.path.join(self.plain, uuid.uuid4().hex[:6] + "-" + name)
            with open(plain, "wb") as f:
                f.write(os.urandom(3000))
            rc, _, stderr = run_writer(DEMO_KEY_LIST, directory, [plain], "--name", name,
                                       *options)
            # The writer prints names in the console's code page: take the one asked for.
            written.append(os.path.join(directory, name))
            assert rc == 0 and os.path.exists(written[-1]), stderr
        return written

    def set_guid(self, guid):
        self.prefix.import_reg("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Cryptography]\r\n"
                               "\"MachineGuid\"=\"%s\"" % guid)

    def tool_copy(self, source):
        directory = os.path.join(self.root, "bin-" + uuid.uuid4().hex[:6])
        os.makedirs(directory)
        path = os.path.join(directory, "BristokeDecryptor-%s.exe" % uuid.uuid4().hex[:8])
        shutil.copy(source, path)
        return path

    def run(self, guid, seam, *args):
        """Runs the seamed tool in the private prefix as machine guid; returns (exit code, the
        path of its log)."""
        self.set_guid(guid)
        exe = self.tool_copy(SEAMED_EXE)
        cwd = os.path.join(self.root, "cwd-" + uuid.uuid4().hex[:6])
        os.makedirs(cwd)
        proc = subprocess.run(command(exe, *seam, *args), cwd=cwd,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env(self.prefix.env), timeout=300)
        [log] = glob.glob(os.path.join(cwd, "*.log"))
        return proc.returncode, log

    def place(self, log, relative):
        """Moves a log into the tree under a name of the administrator's choosing."""
        target = os.path.join(self.tree, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.move(log, target)
        return target

    def add(self, path, machine, files, ends):
        self.logs.append(Log(path, machine, files, ends))
        return self.logs[-1]

    # --- the runs ---------------------------------------------------------------------------

    def build(self):
        self.clean_machine()
        self.failing_machine()
        self.fixed_machine()
        self.listing_machine()
        self.forced_machine()
        self.crashing_machine()
        self.interrupted_machine()
        self.stopped_machines()
        self.killed_run()
        self.damaged_copy()
        self.cut_copy()
        self.foreign_files()

    def clean_machine(self):
        """Windows 10: everything cleaned; a second, list-only run finds nothing more."""
        machine = ("C1EA0000-0000-4000-8000-000000000001", "10.0.19045 SP0", "Workstation")
        data = os.path.join(self.root, "m1")
        encrypted = (self.samples(data, [AWKWARD_NAME + ".BRSK"]) +
                     self.samples(data, ["v4.xls.QOVY"], "--variant", "4") +
                     self.samples(data, ["v5.pdf.ab12cd"], "--variant", "5"))
        seam = ["--seam-os=10.0.19045.0.1"]
        rc, log = self.run(machine[0], seam, "/s", win_path(data))
        assert rc == 0, rc
        self.clean_log = self.add(self.place(log, "site-a/m1-clean/" + os.path.basename(log)),
                                  machine, [(win_path(p), "cleaned", "") for p in encrypted],
                                  [("finished", Summary(3, 3, 0))])
        rc, log = self.run(machine[0], seam, "/n", win_path(data))
        assert rc == 0, rc
        self.add(self.place(log, "site-a/m1-clean/second run.log"), machine, [],
                 [("finished", Summary(0, 0, 0))])

    def failing_machine(self):
        """Windows XP SP3: one file cleaned, three refused for three reasons, a missing path."""
        machine = ("FA11ED00-0000-4000-8000-000000000002", "5.1.2600 SP3", "Workstation")
        data = os.path.join(self.root, "m2")
        [good] = self.samples(data, ["ok.xls.QOVY"], "--variant", "4")
        [mismatch] = self.samples(data, ["mismatch.doc.BRSK"], "--plain-size", "50")
        [kept] = self.samples(data, ["kept.txt.BRSK"])
        with open(os.path.join(data, "kept.txt"), "wb") as f:
            f.write(b"the user's own file")
        broken = os.path.join(data, AWKWARD_FAILING + ".BRSK")
        with open(broken, "wb") as f:
            f.write(b"x" * 100)
        missing = os.path.join(self.root, "m2-gone", "nothing.here")
        rc, log = self.run(machine[0], ["--seam-os=5.1.2600.3.1"], "/s", win_path(data),
                           win_path(missing))
        # Files not cleaned, and a path that names nothing.
        assert rc == 2, rc
        files = [(win_path(good), "cleaned", ""),
                 (win_path(mismatch), "failed", "Not valid Bristoke file. Footer doesn't match."),
                 (win_path(kept), "skipped", "User doesn't allow modification of file [%s]" %
                  win_path(kept)[:-len(".BRSK")]),
                 (win_path(broken), "failed", "Not valid Bristoke file.")]
        self.failure_log = self.add(self.place(log, "site-a/m2-failures/failures.txt"), machine,
                                    files, [("finished", Summary(4, 1, 2))])
        self.failure_log.notices = True

    def fixed_machine(self):
        """Windows 10: a file skipped because its output's name was taken, cleaned by a later
        run once the name is free; the administrator joined both logs into one file."""
        machine = ("F1AED000-0000-4000-8000-000000000008", "10.0.19045 SP0", "Workstation")
        data = os.path.join(self.root, "m8")
        [kept] = self.samples(data, ["kept.txt.BRSK"])
        taken = kept[:-len(".BRSK")]
        with open(taken, "wb") as f:
            f.write(b"the user's own file")
        seam = ["--seam-os=10.0.19045.0.1"]
        rc, first = self.run(machine[0], seam, "/s", win_path(data))
        assert rc == 2, rc
        os.remove(taken)
        rc, second = self.run(machine[0], seam, "/s", win_path(data))
        assert rc == 0, rc
        joined = os.path.join(self.tree, "site-c", "m8", "joined.log")
        os.makedirs(os.path.dirname(joined))
        with open(joined, "wb") as out:  # what "copy /b first+second" makes
            for part in (first, second):
                with open(part, "rb") as f:
                    out.write(f.read())
        self.add(joined, machine,
                 [(win_path(kept), "skipped",
                   "User doesn't allow modification of file [%s]" % win_path(taken))],
                 [("finished", Summary(1, 0, 2))]).start = begin_stamp(first)
        self.add(joined, machine, [(win_path(kept), "cleaned", "")],
                 [("finished", Summary(1, 1, 0))]).start = begin_stamp(second)

    def listing_machine(self):
        """Windows Server 2003 SP2: list only."""
        machine = ("11570000-0000-4000-8000-000000000003", "5.2.3790 SP2", "Server")
        data = os.path.join(self.root, "m3")
        encrypted = (self.samples(data, ["a.doc.BRSK"]) +
                     self.samples(os.path.join(data, "sub"), ["b.doc.QOVE"]))
        rc, log = self.run(machine[0], ["--seam-os=5.2.3790.2.3"], "/n", win_path(data))
        assert rc == 0, rc
        # Re-saved by an editor as UTF-8, with its byte-order mark.
        placed = self.place(log, "site-b/m3-list/" + os.path.basename(log))
        text = log_text(placed)
        with open(placed, "wb") as f:
            f.write(b"\xef\xbb\xbf" + text.encode("utf-8"))
        summary = Summary(2, 0, 0)
        summary.resaved = "re-saved as UTF-8"
        self.add(placed, machine, [(win_path(p), "listed", "") for p in encrypted],
                 [("finished", summary)])

    def forced_machine(self):
        """Windows 8.1: a forced run, which counts a file that is none of the family's and a
        backup of the tool's own."""
        machine = ("F0ACED00-0000-4000-8000-000000000009", "6.3.9600 SP0", "Workstation")
        [encrypted] = self.samples(os.path.join(self.root, "m9"), ["c.doc.BRSK"])
        other = os.path.join(self.root, "m9-other")
        os.makedirs(other)
        notes = os.path.join(other, "notes.txt")
        with open(notes, "wb") as f:
            f.write(b"an ordinary file")
        backup = os.path.join(other, "c.doc.BRSK.backup_by_ovix")
        shutil.copy(encrypted, backup)
        rc, log = self.run(machine[0], ["--seam-os=6.3.9600.0.1"], "/f", win_path(encrypted),
                           win_path(other))
        assert rc == 0, rc
        self.add(self.place(log, "site-b/m9-forced/" + os.path.basename(log)), machine,
                 [(win_path(encrypted), "cleaned", ""),
                  (win_path(notes), "not the family's",
                   "Left as it is, not a file of the family [%s]" % win_path(notes)),
                  (win_path(backup), "the tool's own",
                   "Left as it is, a file of the tool's own [%s]" % win_path(backup))],
                 [("finished", Summary(3, 1, 0))])

    def crashing_machine(self):
        """Windows 7 SP1: the run crashes while it cleans its second file."""
        machine = ("C2A50000-0000-4000-8000-000000000004", "6.1.7601 SP1", "Workstation")
        data = os.path.join(self.root, "m4")
        [first] = self.samples(data, ["first.txt.BRSK"])
        [second] = self.samples(data, ["crash-here.doc.BRSK"])
        rc, log = self.run(machine[0], ["--seam-os=6.1.7601.1.1", "--seam-crash-on=crash-here"],
                           "/s", win_path(first), win_path(second))
        assert rc == 255, rc
        self.add(self.place(log, "site-b/m4-crash/crash log"), machine,
                 [(win_path(first), "cleaned", ""),
                  (win_path(second), "interrupted", "The run crashed while cleaning this file.")],
                 [("crashed", Summary(2, 1, 255, "Fatal error occured, consult support."))])

    def interrupted_machine(self):
        """Windows 8: a file whose cleaning an earlier run left unfinished, listed by one run and
        finished by the next, and a file whose output's name a file of the user's had, which is
        replaced and kept."""
        machine = ("1A7E0000-0000-4000-8000-000000000007", "6.2.9200 SP0", "Workstation")
        data = os.path.join(self.root, "m7")
        [cut, replaced] = self.samples(data, ["cut.doc.BRSK", "old.txt.BRSK"])
        open(partial_path(cut, 3), "wb").close()
        os.rename(cut, cleaning_path(cut, 3))
        old = replaced[:-len(".BRSK")]
        with open(old, "wb") as f:
            f.write(b"the user's own file")
        seam = ["--seam-os=6.2.9200.0.1"]
        rc, log = self.run(machine[0], seam, "/n", win_path(data))
        assert rc == 0, rc
        self.add(self.place(log, "site-c/m7/listed.log"), machine,
                 [(win_path(cut), "interrupted", "Skipping [%s]... (interrupted)" % win_path(cut)),
                  (win_path(replaced), "listed", "")],
                 [("finished", Summary(2, 0, 0))])
        # No switch: with output redirected the question is answered yes.
        rc, log = self.run(machine[0], seam, win_path(data))
        assert rc == 0, rc
        counter = run_counter(Run(rc, "", [read_log(log)]))
        self.add(self.place(log, "site-c/m7/finished.log"), machine,
                 [(win_path(cut), "cleaned",
                   "Resuming the cleaning of [%s], interrupted in an earlier run." % win_path(cut)),
                  (win_path(replaced), "cleaned",
                   "%s [%s] Yes (output redirected); Replaced file [%s] kept as [%s]" %
                   (QUESTION, win_path(old), win_path(old),
                    win_path(old + ".backup_%d_by_ovix" % counter)))],
                 [("finished", Summary(2, 2, 0))])

    def stopped_machines(self):
        """Runs that end before their walk: no room for the decryption buffer (Windows 2000),
        and a Windows release the tool does not know."""
        machine = ("1E170000-0000-4000-8000-000000000005", "5.0.2195 SP4", "Workstation")
        data = os.path.join(self.root, "m5")
        self.samples(data, ["untouched.txt.BRSK"])
        rc, log = self.run(machine[0],
                           ["--seam-os=5.0.2195.4.1", "--seam-fail-new=%d" % IO_BUFFER_SIZE],
                           "/s", win_path(data))
        assert rc == 9, rc
        memory = "Not enough memory for the decryption buffer."
        self.add(self.place(log, "site-b/m5-init/" + os.path.basename(log)), machine, [],
                 [("error", memory), ("initialisation failed", Summary(0, 0, 9, memory))])
        machine = ("01D00000-0000-4000-8000-000000000006", "11.0.22000 SP0", "Workstation")
        rc, log = self.run(machine[0], ["--seam-os=11.0.22000.0.1"], "/s", win_path(data))
        assert rc == 8, rc
        # Re-saved by an editor that writes bare line feeds.
        placed = self.place(log, "site-b/m6-unknown/" + os.path.basename(log))
        write_utf16_log(placed, log_text(placed).replace("\r\n", "\n"))
        summary = Summary(0, 0, 8, "Sorry but this Windows version is not supported!")
        summary.resaved = "re-saved with LF line ends"
        self.add(placed, machine, [], [("Windows not supported", summary)])

    def killed_run(self):
        """Windows 8.1, in a console and the shared test prefix: killed while it asks whether to
        replace an existing file."""
        data = os.path.join(self.root, "killed")
        [first] = self.samples(data, ["first.txt.BRSK"])
        [second] = self.samples(data, ["asked.txt.BRSK"])
        with open(os.path.join(data, "asked.txt"), "wb") as f:
            f.write(b"the user's own file")
        exe = self.tool_copy(SEAMED_EXE)
        cwd = os.path.join(self.root, "cwd-killed")
        os.makedirs(cwd)
        console = TmuxConsole(self.owner, self.root, exe,
                              ["--seam-os=6.3.9600.0.1", win_path(first), win_path(second)],
                              width=100, height=40, cwd=cwd)
        console.wait_for_prompt(QUESTION)
        # The pane's shell started wine, whose process is the tool's Windows process.
        pane = int(console._tmux("display-message", "-p", "-t", console.name, "#{pane_pid}"))
        with open("/proc/%d/task/%d/children" % (pane, pane)) as f:
            [tool] = [int(pid) for pid in f.read().split()]
        os.kill(tool, signal.SIGKILL)
        console.wait_exit()
        time.sleep(0.5)  # the wineserver notices the process is gone
        [log] = glob.glob(os.path.join(cwd, "*.log"))
        machine = (shared_prefix_guid(), "6.3.9600 SP0", "Workstation")
        self.add(self.place(log, "site-b/killed/" + os.path.basename(log)), machine,
                 [(win_path(first), "cleaned", ""),
                  (win_path(second), "interrupted",
                   "The log ends while this file was being cleaned.")],
                 [("cut off", Summary(2, 1))])

    def damaged_copy(self):
        """The failing run's log with a line of noise and a broken stamp."""
        lines = log_text(self.failure_log.path).split("\r\n")
        noise = next(i for i, line in enumerate(lines) if "INFO: Backup: " in line) + 1
        lines.insert(noise, "#### noise where a line was ####")
        stamp = next(i for i, line in enumerate(lines) if "Looking for infected files" in line)
        lines[stamp] = "[20x" + lines[stamp][4:]
        damaged = os.path.join(self.tree, "site-b", "damaged", "copy of failures.log")
        os.makedirs(os.path.dirname(damaged))
        write_utf16_log(damaged, "\r\n".join(lines))
        log = self.add(damaged, self.failure_log.machine, self.failure_log.files,
                       [("damaged", "2 line(s) not in the log's layout, the first at line %d" %
                         (noise + 1)),
                        ("finished", Summary(4, 1, 2))])
        log.notices = True

    def cut_copy(self):
        """The clean run's log cut in the middle of a character of its second file's line."""
        text = log_text(self.clean_log.path)
        head = "INFO: Cleaning file ["
        first = text.index(head) + len(head)
        second = text.index(head, first)
        cut = os.path.join(self.tree, "site-b", "cut", "cut.log")
        os.makedirs(os.path.dirname(cut))
        with open(cut, "wb") as f:
            f.write((b"\xff\xfe" + text[:second + 10].encode("utf-16-le"))[:-1])
        self.add(cut, self.clean_log.machine, [(text[first:text.index("]\r\n", first)],
                                                "cleaned", "")],
                 [("cut off", Summary(1, 1, cut_line=True))])

    def foreign_files(self):
        foreign = [
            ("site-b/settings.reg", b"\xff\xfe" + "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software]\r\n".encode("utf-16-le"), "not a log of the tool",
             "its first line is not \"[time] - Begin\": Windows Registry Editor Version 5.00"),
            ("site-a/notes.txt", "collected from seven machines\n".encode(), "not UTF-16",
             "starts with bytes 63 6F 6C 6C"),
            ("site-a/m1-clean/empty.log", b"", "empty", "0 bytes"),
        ]
        for relative, content, problem, detail in foreign:
            path = os.path.join(self.tree, relative)
            with open(path, "wb") as f:
                f.write(content)
            self.add(path, None, [], [(problem, detail)])


def shared_prefix_guid():
    out = subprocess.run(command("reg", "query", "HKLM\\Software\\Microsoft\\Cryptography", "/v",
                                 "MachineGuid"), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         env=wine_env(), timeout=60).stdout.decode("utf-8", "replace")
    return out.split("REG_SZ")[1].strip().upper()
