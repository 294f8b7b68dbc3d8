"""BristokeReport.exe's page on an outbreak day: 10,000 machines, every one in need, named as the
tool names a computer on a domain ("NAME (dns.name)", some of them long), and 2,000 more machines
expected that sent no log. The logs are two real runs of the tool (one with failed and skipped
files, one that crashed), each made the log of many machines. The page's size and its time to
load in headless Chromium are printed; its first screen at 1366x768 must show the counts and at
least 15 machines, and it must be no wider than the window at 1366 px, every line open or not.
Screenshots are kept in build/tests/report-scale/ for a person to look at."""
import os
import re
import shutil
import tempfile
import time
import types
import unittest
import uuid

import chromium
from harness import BUILD, main, win_path
from report_fleet import Fleet, log_text, write_utf16_log
from test_release_matrix import PrivatePrefix
from test_report import NO_LOG, NOT_CLEANED, RUNS_NOT_ENDED, run_report

OUTPUT = os.path.join(BUILD, "tests", "report-scale")
MACHINES = 10000
WITHOUT_LOG = 2000
CRASHED_EVERY = 50  # every 50th machine's latest run crashed; the others have failed files
PAGE_BOUND = 5 * 1000 * 1000
LISTED = 500  # machines the page lists with their details
NAMED_WITHOUT_LOG = 1000
LISTED_RUNS = 200


def computer_name(i):
    """The name the tool logs for machine i: NetBIOS name, and its DNS name in brackets; every
    97th a long one."""
    dns = "pc-%05d.berlin.corp.example.com" % i
    if i % 97 == 3:
        dns = ("pc-%05d.accounting-and-financial-controlling.headquarters-building-seven."
               "emea-region.corp.example.com" % i)
    return "PC-%05d (%s)" % (i, dns)


def shown(name):
    """A name as the page shows it: cut after 63 characters, whole on hover."""
    return name if len(name) <= 64 else name[:63] + "\u2026"


class ReportScaleTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="bristoke-report-scale-")
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        prefix = PrivatePrefix()
        cls.addClassCleanup(prefix.stop)
        fleet = Fleet(types.SimpleNamespace(addCleanup=cls.addClassCleanup), cls.root, prefix)
        fleet.failing_machine()
        fleet.crashing_machine()
        templates = {"failed": log_text(fleet.failure_log.path),
                     "crashed": log_text(fleet.logs[-1].path)}
        logs = os.path.join(cls.root, "fleet")
        cls.names = {"failed": [], "crashed": []}
        for i in range(MACHINES):
            kind = "crashed" if i % CRASHED_EVERY == 7 else "failed"
            name = computer_name(i)
            text = re.sub(r"(INFO: Machine guid: )[^\r\n]*",
                          r"\g<1>" + str(uuid.UUID(int=i)).upper(), templates[kind])
            text = re.sub(r"(INFO: Computer name: )[^\r\n]*", lambda m: m.group(1) + name, text)
            path = os.path.join(logs, "site-%02d" % (i // 250), "PC-%05d.log" % i)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            write_utf16_log(path, text)
            cls.names[kind].append(name)
        cls.missing = ["PC-MISSING-%04d" % i for i in range(WITHOUT_LOG)]
        expect = os.path.join(cls.root, "machines.txt")
        with open(expect, "w", encoding="ascii", newline="\r\n") as f:
            f.write("\n".join(["PC-%05d" % i for i in range(MACHINES)] + cls.missing))
        shutil.rmtree(OUTPUT, ignore_errors=True)
        os.makedirs(OUTPUT)
        cls.page = os.path.join(OUTPUT, "fleet-10000.html")
        started = time.monotonic()
        cls.rc, cls.stdout = run_report("--html", win_path(cls.page), "--csv",
                                        win_path(os.path.join(cls.root, "out", "fleet")),
                                        "--expect", win_path(expect), win_path(logs))
        print("the report of %d machines took %.1f s" % (MACHINES, time.monotonic() - started))
        cls.dom = chromium.dump_dom(cls.page)

    def test_Page_BoundedItsWorstMachinesListedTheRestCounted(self):
        self.assertEqual(self.rc, NOT_CLEANED | RUNS_NOT_ENDED | NO_LOG, self.stdout)
        size = os.path.getsize(self.page)
        print("the page of %d machines, all in need: %d bytes" % (MACHINES, size))
        self.assertLess(size, PAGE_BOUND)
        # The counts by state and reason, each a link to its list.
        crashed = len(self.names["crashed"])
        failed = len(self.names["failed"])
        counts = self.dom[self.dom.index('<ul class="counts">'):]
        counts = counts[:counts.index("</ul>")]
        for anchor, count, what in [
                ("action", MACHINES + WITHOUT_LOG,
                 "of %d machines need action" % (MACHINES + WITHOUT_LOG)),
                ("need-not-ended", crashed, "latest run crashed"),
                ("no-log", WITHOUT_LOG, "sent no log"),
                ("need-failed", failed, "files failed")]:
            self.assertIn('<a href="#%s"><strong>%d</strong>%s</a>' % (anchor, count, what), counts)
        for anchor in ("need-not-ended", "no-log", "need-failed"):
            self.assertIn(' id="%s"' % anchor, self.dom)
        # The worst machines, one line each, crashed first, then failed; the rest counted.
        lines = chromium.action_lines(self.dom)
        expected = (sorted(self.names["crashed"]) + sorted(self.names["failed"]))[:LISTED]
        self.assertEqual([cells[0] for _, cells in lines], [shown(name) for name in expected])
        self.assertEqual(lines[0][1][2], "latest run crashed, 1 interrupted")
        self.assertEqual(lines[-1][1][2:5], ["2 failed, 1 skipped", "2", "3"])
        self.assertIn("... and %d more machines in need are not listed" % (MACHINES - LISTED),
                      self.dom)
        # Those expected that sent no log, a list of names; runs of machines in need, counted.
        self.assertIn("<p class=\"names\">" + ", ".join(self.missing[:NAMED_WITHOUT_LOG]) +
                      ", and %d more, each a row of the problems CSV</p>"
                      % (WITHOUT_LOG - NAMED_WITHOUT_LOG), self.dom)
        self.assertIn("Runs of the machines that need action (%d)" % MACHINES, self.dom)
        self.assertIn("<p>... and %d more. " % (MACHINES - LISTED_RUNS), self.dom)
        self.assertNotIn("<script", self.dom)

    def test_InChromium_LoadsFirstScreenToActFromNeverWiderThanTheWindow(self):
        started = time.monotonic()
        chromium.dump_dom(self.page)
        print("Chromium opened the page in %.2f s, its start included"
              % (time.monotonic() - started))
        first = chromium.layout(self.page, 1366, 768)
        print("at 1366x768: loaded and laid out in %.0f ms, %d px high; below the counts (which "
              "end at %d px) %d machines on the screen, %d in the %d px a browser's window "
              "leaves" % (first["loaded_ms"], first["height"], first["counts_bottom"],
                          first["lines_on_screen"], first["lines_in_window"],
                          first["window_height"]))
        self.assertGreater(first["counts_bottom"], 0)
        self.assertGreaterEqual(first["lines_in_window"], 15)
        for opened in (False, True):
            with self.subTest(opened=opened):
                measured = chromium.layout(self.page, 1366, 768, opened=opened)
                print("at 1366 px, %s: scroll width %d, window %d (%d inside its scroll bar)"
                      % ("every line open" if opened else "lines closed",
                         measured["scroll_width"], measured["window_width"],
                         measured["client_width"]))
                self.assertLessEqual(measured["scroll_width"], measured["client_width"])
        for width, height in ((1366, 768), (1920, 1080)):
            chromium.screenshot(self.page, os.path.join(OUTPUT, "top-%d.png" % width), width,
                                height)
        # The first machine's line opened, as a click leaves it.
        opened = os.path.join(OUTPUT, "first-opened.html")
        with open(self.page, "rb") as f, open(opened, "wb") as out:
            out.write(f.read().replace(b"<details ", b"<details open ", 1))
        chromium.screenshot(opened, os.path.join(OUTPUT, "first-opened-1366.png"), 1366, 768)


if __name__ == "__main__":
    main()
