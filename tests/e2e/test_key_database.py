"""The key database as the program finds it in its own resource: copies of the key probe with
other RCDATA 101 contents, the resource that the build put into the decryptor, and copies of the
decryptor itself with the resources a user may meet."""
import base64
import glob
import os
import re
import shutil
import struct
import subprocess
import threading
import uuid

from harness import EXE, ToolTestCase, command, main, read_log, wine_env, win_path
from key_resources import (BUILD_BLOBS, DELETE, build_records, database, give_resource, header,
                           key_set, raw, run_resource_tool, valid_database_bytes)
import samples

PROBE = os.path.join(os.path.dirname(EXE), "BristokeKeyProbe.exe")

CANT_READ = "ERROR: Can't read key from resource"
CORRUPTED = "INFO: Resource has corrupted header, it is probably invalid"
VERSION_ERROR = "INFO: This variant is not supported (version error)."
NO_RESOURCE = r"ERROR: ERR_LRES02, GLE\(0x[0-9a-f]{8}\)"


def not_imported(number, records):
    """The line of a record that does not import, as a pattern."""
    return (r"WARNING: Key record %d of %d can't be imported, GLE\(0x[0-9a-f]{8}\); the other "
            r"keys are loaded\." % (number, records))


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def modulus_hex(record):
    """The modulus of a Base64 PRIVATEKEYBLOB record, most significant byte first."""
    blob = base64.b64decode(record)
    bits = struct.unpack_from("<I", blob, 12)[0]
    return bytes(reversed(blob[20:20 + bits // 8])).hex()


class ProbeRun:
    def __init__(self, rc, stdout, log):
        self.rc = rc
        summary = re.match(r"loaded=(\d) keys=(\d+) ms=", stdout)
        self.keys = int(summary.group(2)) if summary else None
        named = re.search(r" fingerprint=([0-9a-f]*)$", stdout.splitlines()[0] if stdout else "")
        self.key_set = "key set " + named.group(1) if named else None
        self.usable = [m.group(1) == "1" for m in re.finditer(r"usable=(\d)", stdout)]
        self.moduli = re.findall(r"modulus=([0-9a-f]+)", stdout)
        self.texts = [line.split("] - ", 1)[1] for line in log.split("\r\n")[:-1]]


class KeyDatabaseTestCase(ToolTestCase):
    def probe(self, resource):
        """Runs a copy of the probe whose RCDATA 101 is resource (bytes), or none (DELETE)."""
        exe = os.path.join(self.tmp, "probe-%s.exe" % uuid.uuid4().hex[:8])
        shutil.copy(PROBE, exe)
        give_resource(exe, resource)
        log = exe + ".log"
        proc = subprocess.run(command(exe, win_path(log)), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env(), timeout=120)
        return ProbeRun(proc.returncode, proc.stdout.decode("ascii", "replace"), read_log(log))


class ResourceTableTests(KeyDatabaseTestCase):
    def test_Resources_LoadedOrRefusedWithTheirLines(self):
        records = build_records()
        first = records[0]
        n = len(records)
        valid = valid_database_bytes(records)
        truncated_body = struct.pack("<II", 3, 2) + struct.pack("<I", len(first)) + first + \
            struct.pack("<I", 10000) + b"QUJD" * 5
        # (name, resource, exit code, keys loaded, log lines; a pattern where it has a code)
        # A record that does not import is named and left out; the records after it load.
        cases = [
            ("no resource", DELETE, 1, 0, [NO_RESOURCE, CANT_READ]),
            ("one byte", raw(b"O"), 1, 0, [CANT_READ]),
            ("eight bytes", raw(header(8)), 1, 0, [CANT_READ]),
            ("wrong magic", raw(b"OVIY" + valid[4:]), 1, 0, [CORRUPTED, CANT_READ]),
            ("length one more", raw(header(len(valid) + 1) + valid[8:]), 1, 0,
             [CORRUPTED, CANT_READ]),
            ("not scrambled", valid, 1, 0, [CORRUPTED, CANT_READ]),
            ("version 3", database(records), 0, n, []),
            ("version 0", database(records, version=0), 0, n, []),
            ("version 4", database(records, version=4), 1, 0, [VERSION_ERROR]),
            ("count above records", database(records, count=n + 2), 0, n, []),
            ("count 0xFFFFFFFF", database(records, count=0xFFFFFFFF), 0, n, []),
            ("count below records", database(records, count=1), 0, 1, []),
            ("count 0", database(records, count=0), 0, 0, []),
            ("record not Base64", database([first, b"!! not base64 !!"] + records[1:]), 0, n,
             [not_imported(2, n + 1)]),
            ("record Base64 but no key",
             database([first, base64.b64encode(b"no key in here")] + records[1:]), 0, n,
             [not_imported(2, n + 1)]),
            ("record longer than the body", raw(header(8 + len(truncated_body)) + truncated_body),
             0, 1, []),
            ("empty record", database([b""] + records), 0, n, [not_imported(1, n + 1)]),
            ("body of 4 bytes", raw(header(12) + struct.pack("<I", 3)), 1, 0, []),
            ("body of 7 bytes", raw(header(15) + struct.pack("<I", 3) + b"\0\0\0"), 1, 0, []),
        ]
        expected_moduli = [modulus_hex(r) for r in records]
        for name, resource, rc, keys, lines in cases:
            with self.subTest(name):
                run = self.probe(resource)
                self.assertEqual(run.rc, rc)
                self.assertEqual(run.keys, keys)
                self.assertEqual(len(run.texts), len(lines), run.texts)
                for text, line in zip(run.texts, lines):
                    if line.startswith(("ERROR: ERR_", "WARNING: Key record")):
                        self.assertRegex(text, "^" + line + "$")
                    else:
                        self.assertEqual(text, line)
                # The keys loaded are the first ones of the records, in order, and they work.
                self.assertEqual(run.moduli, expected_moduli[:keys])
                self.assertEqual(run.usable, [True] * keys)


class BuiltResourceTests(KeyDatabaseTestCase):
    def test_DecryptorResource_LoadsEveryKeyOfTheList(self):
        extracted = os.path.join(self.tmp, "decryptor.res")
        exe = os.path.join(self.tmp, "decryptor.exe")
        shutil.copy(EXE, exe)
        run_resource_tool("get", win_path(exe), win_path(extracted))
        resource = read_bytes(extracted)
        records = build_records()
        self.assertGreater(len(records), 0)
        run = self.probe(resource)
        self.assertEqual((run.rc, run.keys, run.texts), (0, len(records), []))
        # The tool's own reading of its records names the set as the producer does.
        self.assertEqual(run.key_set, key_set())
        self.assertEqual(run.moduli, [modulus_hex(r) for r in records])
        self.assertEqual(run.usable, [True] * len(records))


LOADING = "INFO: Loading keys, please wait..."
SUPPORTED = "INFO: Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%"
INIT_FAILED = ["ERROR: Can't read keys from resources.", "ERROR: Cleaner initialization failed!",
               "End"]


class DecryptorResourceTests(KeyDatabaseTestCase):
    """Copies of the tool itself with the key databases a user may meet."""

    def setUp(self):
        super().setUp()
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)

    def decryptor(self, resource):
        exe = self.tool_copy()
        give_resource(exe, resource)
        return exe

    def write_samples(self, directory, *variants_and_keys):
        """Encrypted copies of one plain file in directory, one for each (variant, key index);
        the plain content and their paths."""
        plain = os.path.join(self.tmp, "plain.txt")
        with open(plain, "wb") as f:
            f.write(b"The quarterly figures, restored.\r\n" * 40)
        os.makedirs(directory, exist_ok=True)
        written = []
        for variant, key in variants_and_keys:
            out = os.path.join(self.tmp, "out-" + uuid.uuid4().hex[:8])
            os.makedirs(out)
            rc, paths, err = samples.run_writer(BUILD_BLOBS, out, [plain], "--variant",
                                                str(variant), "--key", str(key))
            self.assertEqual((rc, len(paths)), (0, 1), err)
            path = os.path.join(directory, "v%d-k%d-%s" % (variant, key,
                                                           os.path.basename(paths[0])))
            os.rename(paths[0], path)
            written.append(path)
        return read_bytes(plain), written

    def run_measured(self, exe, *args):
        """One run of the tool: exit code, log texts and peak resident memory in KiB."""
        proc = subprocess.Popen(command(exe, *args), cwd=self.cwd, env=wine_env(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        timer = threading.Timer(300, proc.kill)
        timer.start()
        try:
            _, status, usage = os.wait4(proc.pid, 0)
        finally:
            timer.cancel()
        proc.returncode = os.waitstatus_to_exitcode(status)
        (log,) = glob.glob(os.path.join(self.cwd, os.path.basename(exe) + "_*.log"))
        texts = [line.split("] - ", 1)[1] for line in read_log(log).split("\r\n")[:-1]]
        return proc.returncode, texts, usage.ru_maxrss

    def test_UnusableResource_InitFailsWith9AndNothingIsTouched(self):
        records = build_records()
        valid = valid_database_bytes(records)
        # (name, resource, the loader's lines; a pattern where it has a code)
        cases = [
            ("build without keys", DELETE, [NO_RESOURCE, CANT_READ]),
            ("damaged header", raw(b"OVIY" + valid[4:]), [CORRUPTED, CANT_READ]),
            ("cut short by one byte", raw(header(len(valid) + 1) + valid[8:]),
             [CORRUPTED, CANT_READ]),
            ("newer format", database(records, version=4), [VERSION_ERROR]),
        ]
        victim = os.path.join(self.data, "report.docx.BRSK")
        with open(victim, "wb") as f:
            f.write(b"\x5a" * 2000)
        for name, resource, lines in cases:
            with self.subTest(name):
                run = self.run_tool("/s", win_path(self.data), exe=self.decryptor(resource))
                self.assertEqual(run.rc, 9, run.stdout)
                texts = run.texts()
                tail = texts[texts.index(LOADING) + 1:]
                self.assertEqual(len(tail), len(lines) + len(INIT_FAILED), tail)
                for text, line in zip(tail, lines):
                    self.assertRegex(text, "^" + line + "$" if "ERR_" in line else re.escape(line))
                self.assertEqual(tail[len(lines):], INIT_FAILED)
                self.assertIn("Loading keys, please wait...", run.stdout)
                self.assertNotIn("Supported file extensions", run.stdout)
                self.assertNotIn("Looking for infected files...", run.stdout)
                self.assertEqual(os.listdir(self.data), ["report.docx.BRSK"])
                self.assertEqual(read_bytes(victim), b"\x5a" * 2000)

    def test_KeyCountBeyondTheRecords_TheKeysPresentLoadWithoutAHugeTable(self):
        # The table is sized by the records the body can hold, never by the stored count alone:
        # 0xFFFFFFFF keys would be 16 GiB, 0x08000000 keys 512 MiB that a 32-bit process may get.
        records = build_records()
        keys = [(1, k) for k in range(len(records))]
        cases = [("count as stored", None), ("count 0x08000000", 0x08000000),
                 ("count 0xFFFFFFFF", 0xFFFFFFFF)]
        peaks = {}
        for name, count in cases:
            with self.subTest(name):
                data = os.path.join(self.tmp, "data-%x" % (count or 0))
                plain, paths = self.write_samples(data, *keys)
                exe = self.decryptor(database(records, count=count))
                rc, texts, peaks[count] = self.run_measured(exe, "/s", win_path(data))
                self.assertEqual(rc, 0, texts)
                loaded = texts.index(LOADING)
                self.assertEqual(texts[loaded + 1:loaded + 3], [
                    "INFO: Keys loaded: %d of %d, %s" % (len(records), len(records), key_set()),
                    SUPPORTED])
                self.assertIn("INFO: %d file(s) cleaned." % len(records), texts)
                for path in paths:
                    self.assertEqual(read_bytes(os.path.splitext(path)[0]), plain)
                if count is not None:
                    self.assertLess(peaks[count] - peaks[None], 16 * 1024, peaks)

    def test_NoRecordImports_InitSucceedsAndEveryFileFailsOnTheKeys(self):
        not_keys = [b"!! not base64 !!", base64.b64encode(b"no key in here"),
                    base64.b64encode(b"\x07\x02" + b"\0" * 600)]
        plain, paths = self.write_samples(self.data, (1, 0), (4, 1), (5, 2))
        before = {path: read_bytes(path) for path in paths}
        exe = self.decryptor(database(not_keys))
        run = self.run_tool("/s", win_path(self.data), exe=exe)
        # Files were not cleaned: the exit code says so.
        self.assertEqual(run.rc, 2, run.stdout)
        texts = run.texts()
        loaded = texts.index(LOADING)
        for number, line in enumerate(texts[loaded + 1:loaded + 4], start=1):
            self.assertRegex(line, not_imported(number, 3))
        self.assertEqual(texts[loaded + 4:loaded + 6], [
            "INFO: Keys loaded: 0 of 3, " + key_set(not_keys), SUPPORTED])
        self.assertIn("INFO: 3 infected files found.", texts)
        self.assertIn("INFO: 0 file(s) cleaned.", texts)
        # Each file's own lines run from its "Cleaning file [" line to the next one.
        starts = [i for i, text in enumerate(texts) if text.startswith("INFO: Cleaning file [")]
        self.assertEqual(sorted(texts[i] for i in starts),
                         sorted("INFO: Cleaning file [%s]" % win_path(p) for p in paths))
        for start, end in zip(starts, starts[1:] + [texts.index("INFO: 3 infected files found.")]):
            own = texts[start:end]
            with self.subTest(own[0]):
                self.assertIn("INFO: Loaded keys don't match.", own)
                self.assertIn("ERROR: Not cleaned", own)
        self.assertEqual(sorted(os.listdir(self.data)), sorted(map(os.path.basename, paths)))
        for path in paths:
            self.assertEqual(read_bytes(path), before[path])


if __name__ == "__main__":
    main()
