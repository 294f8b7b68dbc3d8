"""The key database producer: what it accepts, what it refuses, and the bytes it writes."""
import base64
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

from harness import SOURCE, main
from samples import DEMO_KEYS, private_key_blob

sys.path.insert(0, os.path.join(SOURCE, "tools", "key_database"))
import make_key_database as producer  # noqa: E402

PRODUCER = os.path.join(SOURCE, "tools", "key_database", "make_key_database.py")


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def descramble(data):
    """The loader's chain (add, xor, add, xor), written out apart from the producer's inverse."""
    add1, xor1, add2, xor2 = producer.read_scramble_constants()
    return bytes((((((b + add1) & 0xFF) ^ xor1) + add2) & 0xFF) ^ xor2 for b in data)


class ProducerTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.keys = tempfile.mkdtemp(prefix="bristoke-producer-keys-")
        cls.small_pem = os.path.join(cls.keys, "rsa1024.pem")
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024",
                "-out", cls.small_pem)
        cls.ec_pem = os.path.join(cls.keys, "ec.pem")
        openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                "-out", cls.ec_pem)
        cls.public_pem = os.path.join(cls.keys, "public.pem")
        openssl("rsa", "-in", DEMO_KEYS[0], "-pubout", "-out", cls.public_pem)
        cls.public_blob = subprocess.run(
            ["openssl", "rsa", "-in", DEMO_KEYS[0], "-pubout", "-outform", "MSBLOB"],
            check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        cls.notes = os.path.join(cls.keys, "notes.txt")
        with open(cls.notes, "w") as f:
            f.write("hello, no key here\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.keys, ignore_errors=True)

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="bristoke-producer-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.out = os.path.join(self.tmp, "key_database.bin")

    def produce(self, lines, *extra):
        key_list = os.path.join(self.tmp, "keys.txt")
        with open(key_list, "w") as f:
            f.write("\n".join(lines) + "\n")
        proc = subprocess.run([sys.executable, PRODUCER, key_list, "--out", self.out] + list(extra),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return proc.returncode, proc.stderr.decode("utf-8", "replace")


class RefusalTests(ProducerTestCase):
    def test_BadEntries_RefusedNamingTheEntry(self):
        small_blob = base64.b64encode(private_key_blob(self.small_pem)).decode()
        good_blob = bytearray(private_key_blob(DEMO_KEYS[0]))
        good_blob[100] ^= 0x01  # a modulus byte: the header still says PRIVATEKEYBLOB
        signature_blob = bytearray(private_key_blob(DEMO_KEYS[0]))
        signature_blob[4:8] = struct.pack("<I", 0x2400)  # aiKeyAlg: CALG_RSA_SIGN
        # (entry, reason in the message)
        cases = [
            (self.notes, "not an RSA private key"),
            (self.public_pem, "not an RSA private key"),
            (self.ec_pem, "not an RSA private key"),
            (self.small_pem, "modulus of 1024 bits, 2048 required"),
            (small_blob, "modulus of 1024 bits, 2048 required"),
            ("this is !!! not base64", "neither a key file nor Base64 text"),
            (os.path.join(self.keys, "missing.pem"), "neither a key file nor Base64 text"),
            (base64.b64encode(b"hello world, no key blob").decode(), "not an RSA PRIVATEKEYBLOB"),
            (base64.b64encode(self.public_blob).decode(), "not an RSA PRIVATEKEYBLOB"),
            (base64.b64encode(bytes(good_blob)).decode(), "not a valid RSA private key"),
            # A sound key in every other respect.
            (base64.b64encode(bytes(signature_blob)).decode(),
             "a signature-only key (CALG_RSA_SIGN), which cannot decrypt"),
        ]
        for entry, reason in cases:
            with self.subTest(entry=entry[:40], reason=reason):
                # The bad entry comes after a good one and a comment: its line number is 3.
                rc, stderr = self.produce([DEMO_KEYS[0], "# comment", entry])
                self.assertEqual(rc, 1)
                shown = entry if len(entry) <= 60 else entry[:57] + "..."
                self.assertIn("key list line 3: '%s': %s" % (shown, reason), stderr)
                self.assertFalse(os.path.exists(self.out))

    def test_EmptyList_Refused(self):
        rc, stderr = self.produce(["# nothing but comments", ""])
        self.assertEqual(rc, 1)
        self.assertIn("holds no keys", stderr)
        self.assertFalse(os.path.exists(self.out))


class OutputTests(ProducerTestCase):
    def test_PemAndBase64Entries_RecordsInListOrder(self):
        second = base64.b64encode(private_key_blob(DEMO_KEYS[1])).decode()
        blobs_out = os.path.join(self.tmp, "blobs.txt")
        depfile = os.path.join(self.tmp, "db.d")
        rc, stderr = self.produce(["# demo", DEMO_KEYS[0], "", "  " + second + "  ", DEMO_KEYS[2]],
                                  "--blobs", blobs_out, "--depfile", depfile)
        self.assertEqual(rc, 0, stderr)
        with open(self.out, "rb") as f:
            scrambled = f.read()
        data = descramble(scrambled)
        self.assertNotEqual(scrambled[:4], b"OVIX")
        self.assertEqual(data[:4], b"OVIX")
        self.assertEqual(struct.unpack_from("<I", data, 4)[0], len(data))
        self.assertEqual(struct.unpack_from("<II", data, 8), (3, 3))
        offset, records = 16, []
        while offset < len(data):
            length = struct.unpack_from("<I", data, offset)[0]
            records.append(data[offset + 4:offset + 4 + length])
            offset += 4 + length
        self.assertEqual(offset, len(data))
        expected = [base64.b64encode(private_key_blob(pem)) for pem in DEMO_KEYS]
        self.assertEqual(records, expected)
        with open(blobs_out, "rb") as f:
            self.assertEqual(f.read().splitlines(), expected)
        with open(depfile) as f:
            dependencies = f.read()
        self.assertIn(DEMO_KEYS[0], dependencies)
        self.assertIn("key_scramble.h", dependencies)


if __name__ == "__main__":
    main()
