"""The key database as the program finds it in its own resource: copies of the key probe with
other RCDATA 101 contents, and the resource that the build put into the decryptor."""
import base64
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import uuid

from harness import BUILD, EXE, SOURCE, main, read_log, wine_env, win_path

sys.path.insert(0, os.path.join(SOURCE, "tools", "key_database"))
import make_key_database as producer  # noqa: E402

PROBE = os.path.join(BUILD, "BristokeKeyProbe.exe")
RESOURCE_TOOL = os.path.join(BUILD, "BristokeResourceTool.exe")
BUILD_BLOBS = os.path.join(BUILD, "key_database", "key_blobs.txt")
DELETE = object()

CANT_READ = "ERROR: Can't read key from resource"
CORRUPTED = "INFO: Resource has corrupted header, it is probably invalid"
VERSION_ERROR = "INFO: This variant is not supported (version error)."


def build_records():
    with open(BUILD_BLOBS, "rb") as f:
        return f.read().splitlines()


def modulus_hex(record):
    """The modulus of a Base64 PRIVATEKEYBLOB record, most significant byte first."""
    blob = base64.b64decode(record)
    bits = struct.unpack_from("<I", blob, 12)[0]
    return bytes(reversed(blob[20:20 + bits // 8])).hex()


def header(total_length, magic=b"OVIX"):
    return magic + struct.pack("<I", total_length)


class ProbeRun:
    def __init__(self, rc, stdout, log):
        self.rc = rc
        summary = re.match(r"loaded=(\d) keys=(\d+) ms=", stdout)
        self.keys = int(summary.group(2)) if summary else None
        self.usable = [m.group(1) == "1" for m in re.finditer(r"usable=(\d)", stdout)]
        self.moduli = re.findall(r"modulus=([0-9a-f]+)", stdout)
        self.texts = [line.split("] - ", 1)[1] for line in log.split("\r\n")[:-1]]


class KeyDatabaseTestCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="bristoke-keydb-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)

    def resource_tool(self, *args):
        proc = subprocess.run(["wine", RESOURCE_TOOL] + list(args), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env())
        self.assertEqual(proc.returncode, 0, proc.stderr.decode("utf-8", "replace"))

    def probe(self, resource):
        """Runs a copy of the probe whose RCDATA 101 is resource (bytes), or none (DELETE)."""
        exe = os.path.join(self.tmp, "probe-%s.exe" % uuid.uuid4().hex[:8])
        shutil.copy(PROBE, exe)
        if resource is DELETE:
            self.resource_tool("delete", win_path(exe))
        else:
            content = exe + ".res"
            with open(content, "wb") as f:
                f.write(resource)
            self.resource_tool("set", win_path(exe), win_path(content))
        log = exe + ".log"
        proc = subprocess.run(["wine", exe, win_path(log)], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env(), timeout=120)
        return ProbeRun(proc.returncode, proc.stdout.decode("ascii", "replace"), read_log(log))


class ResourceTableTests(KeyDatabaseTestCase):
    def test_Resources_LoadedOrRefusedWithTheirLines(self):
        records = build_records()
        first = records[0]
        n = len(records)

        def db(recs, version=3, count=None):
            return producer.scramble(producer.database_bytes(recs, version, count))

        def raw(data):
            return producer.scramble(data)

        valid = producer.database_bytes(records)
        truncated_body = struct.pack("<II", 3, 2) + struct.pack("<I", len(first)) + first + \
            struct.pack("<I", 10000) + b"QUJD" * 5
        # (name, resource, exit code, keys loaded, log lines; a pattern where it has a code)
        cases = [
            ("no resource", DELETE, 1, 0,
             [r"ERROR: ERR_LRES02, GLE\(0x[0-9a-f]{8}\)", CANT_READ]),
            ("one byte", raw(b"O"), 1, 0, [CANT_READ]),
            ("eight bytes", raw(header(8)), 1, 0, [CANT_READ]),
            ("wrong magic", raw(b"OVIY" + valid[4:]), 1, 0, [CORRUPTED, CANT_READ]),
            ("length one more", raw(header(len(valid) + 1) + valid[8:]), 1, 0,
             [CORRUPTED, CANT_READ]),
            ("not scrambled", valid, 1, 0, [CORRUPTED, CANT_READ]),
            ("version 3", db(records), 0, n, []),
            ("version 0", db(records, version=0), 0, n, []),
            ("version 4", db(records, version=4), 1, 0, [VERSION_ERROR]),
            ("count above records", db(records, count=n + 2), 0, n, []),
            ("count 0xFFFFFFFF", db(records, count=0xFFFFFFFF), 0, n, []),
            ("count below records", db(records, count=1), 0, 1, []),
            ("count 0", db(records, count=0), 0, 0, []),
            ("record not Base64", db([first, b"!! not base64 !!"] + records[1:]), 0, 1, []),
            ("record Base64 but no key",
             db([first, base64.b64encode(b"no key in here")] + records[1:]), 0, 1, []),
            ("record longer than the body", raw(header(8 + len(truncated_body)) + truncated_body),
             0, 1, []),
            ("empty record", db([b""] + records), 0, 0, []),
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
                    if line.startswith("ERROR: ERR_"):
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
        self.resource_tool("get", win_path(exe), win_path(extracted))
        with open(extracted, "rb") as f:
            resource = f.read()
        records = build_records()
        self.assertGreater(len(records), 0)
        run = self.probe(resource)
        self.assertEqual((run.rc, run.keys, run.texts), (0, len(records), []))
        self.assertEqual(run.moduli, [modulus_hex(r) for r in records])
        self.assertEqual(run.usable, [True] * len(records))


if __name__ == "__main__":
    main()
