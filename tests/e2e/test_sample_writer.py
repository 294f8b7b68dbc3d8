"""The sample writer: files of each variant with the family's layout, opened independently."""
import os
import shutil
import tempfile
import unittest

from harness import main
from samples import (DEMO_KEYS, FOOTER_LENGTH, MAGIC, Sample, aes_cbc_decrypt, run_writer,
                     write_blob_list)

KNOWN_EXTENSIONS = (".BRSK", ".QOVE", ".QOVY")


class SampleWriterTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.keys_dir = tempfile.mkdtemp(prefix="bristoke-keys-")
        cls.key_list = write_blob_list(os.path.join(cls.keys_dir, "keys.txt"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.keys_dir, ignore_errors=True)

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="bristoke-samples-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.out = os.path.join(self.tmp, "out")
        os.makedirs(self.out)

    def plain_file(self, size, name="plain.dat"):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(os.urandom(size))
        return path

    def write(self, inputs, *options):
        rc, written, stderr = run_writer(self.key_list, self.out, inputs, *options)
        self.assertEqual(rc, 0, stderr)
        self.assertEqual(len(written), len(inputs))
        return written

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()


class LayoutTests(SampleWriterTestCase):
    def test_EachVariant_FooterFieldsAndRoundTrip(self):
        # (variant, options, plain size, data length, extension or None for a random one)
        cases = [
            (1, [], 100, 112, ".BRSK"),
            (1, [], 96, 96, ".BRSK"),  # whole blocks carry no padding block
            (1, ["--ext", ".QOVE"], 17, 32, ".QOVE"),
            (3, [], 100, 112, ".BRSK"),
            (4, [], 100, 100, ".QOVY"),
            (4, [], 0, 0, ".QOVY"),
            (5, [], 100, 100, None),
        ]
        for variant, options, size, data_length, extension in cases:
            with self.subTest(variant=variant, options=options, size=size):
                plain = self.plain_file(size, "v%d_%d_%d.dat" % (variant, size, len(options)))
                [path] = self.write([plain], "--variant", str(variant), *options)
                name = os.path.basename(path)
                self.assertTrue(name.startswith(os.path.basename(plain) + "."), name)
                suffix = name[len(os.path.basename(plain)):]
                if extension:
                    self.assertEqual(suffix, extension)
                else:
                    self.assertNotIn(suffix.upper(), KNOWN_EXTENSIONS)
                    self.assertGreater(len(suffix), 1)
                self.assertEqual(os.path.getsize(path), data_length + FOOTER_LENGTH[variant])
                sample = Sample(path, variant)
                if variant == 5:
                    self.assertEqual(sample.magic, MAGIC)
                    self.assertEqual(sample.factors, (size, 1))
                    self.assertEqual(sample.unused, bytes(8))
                else:
                    self.assertEqual(sample.plain_size, size)
                if variant == 1:
                    self.assertEqual(sample.footer[520:], bytes(8))
                key, iv = sample.file_key(DEMO_KEYS[0])
                self.assertEqual((len(key), len(iv)), (32, 16 if variant < 4 else 8))
                self.assertEqual(sample.decrypt(DEMO_KEYS[0]), self.read(plain))

    def test_AesPadding_Pkcs7OnlyWhenLastBlockIsPartial(self):
        plain = self.plain_file(100)
        [path] = self.write([plain], "--variant", "3")
        sample = Sample(path, 3)
        decrypted = aes_cbc_decrypt(sample.data, *sample.file_key(DEMO_KEYS[0]))
        self.assertEqual(decrypted[100:], bytes([12]) * 12)

    def test_KeyIndex_BlocksOpenOnlyWithThatKey(self):
        plain = self.plain_file(64)
        [path] = self.write([plain], "--variant", "4", "--key", "2")
        sample = Sample(path, 4)
        right = sample.file_key(DEMO_KEYS[2])
        self.assertIsNotNone(right)
        self.assertEqual(sample.decrypt(DEMO_KEYS[2]), self.read(plain))
        # A wrong key is refused, or (with implicit rejection) yields something else.
        self.assertNotEqual(sample.file_key(DEMO_KEYS[0]), right)

    def test_Variant5Factors_EncryptedPartIsTheirProductAtMost(self):
        # (factors, bytes encrypted of 100)
        cases = [("10,3", 30), ("1000,1000", 100), ("0,5", 0),
                 ("9223372036854775808,4", 0)]  # the product wraps to 0 modulo 2^64
        plain = self.plain_file(100)
        content = self.read(plain)
        for factors, encrypted in cases:
            with self.subTest(factors=factors):
                [path] = self.write([plain], "--variant", "5", "--factors", factors,
                                    "--name", "f%s.x" % factors.replace(",", "_"))
                sample = Sample(path, 5)
                first, second = (int(v) for v in factors.split(","))
                self.assertEqual(sample.factors, (first, second))
                self.assertEqual(sample.data[encrypted:], content[encrypted:])
                if encrypted:
                    self.assertNotEqual(sample.data[:encrypted], content[:encrypted])
                self.assertEqual(sample.decrypt(DEMO_KEYS[0]), content)

    def test_PlainSizeOverride_FooterSaysWhatWasAsked(self):
        plain = self.plain_file(100)
        for variant, value in ((4, 50), (4, 1000), (1, 99)):
            with self.subTest(variant=variant, value=value):
                [path] = self.write([plain], "--variant", str(variant), "--plain-size", str(value),
                                    "--name", "p%d_%d" % (variant, value))
                sample = Sample(path, variant)
                self.assertEqual(sample.plain_size, value)
                self.assertEqual(len(sample.data), 112 if variant == 1 else 100)

    def test_SeveralInputs_EachItsOwnFileKey(self):
        first, second = self.plain_file(40, "a.dat"), self.plain_file(40, "b.dat")
        paths = self.write([first, second], "--variant", "4")
        keys = [Sample(p, 4).file_key(DEMO_KEYS[0]) for p in paths]
        self.assertNotEqual(keys[0], keys[1])


class StreamingTests(SampleWriterTestCase):
    def test_InputLargerThanOneChunk_RoundTrip(self):
        # The writer works in 1 MiB chunks: the AES chain and the Salsa20 stream run across them.
        for variant, size in ((1, 2 * 1024 * 1024 + 5), (3, 3 * 1024 * 1024), (4, 1024 * 1024 + 100)):
            with self.subTest(variant=variant, size=size):
                plain = self.plain_file(size, "big%d.dat" % variant)
                [path] = self.write([plain], "--variant", str(variant))
                self.assertEqual(Sample(path, variant).decrypt(DEMO_KEYS[0]), self.read(plain))


class RefusalTests(SampleWriterTestCase):
    def test_OutputOutsideTheDirectory_RefusedAndNothingWritten(self):
        plain = self.plain_file(10)
        outside = os.path.join(self.tmp, "evil")
        for options in (["--name", "..\\evil"], ["--name", "sub\\x"], ["--name", ".."],
                        ["--name", "."], ["--name", "x:stream"], ["--name", "../evil"],
                        ["--ext", ".x\\..\\..\\evil"]):
            with self.subTest(options=options):
                rc, written, stderr = run_writer(self.key_list, self.out, [plain], *options)
                self.assertNotEqual(rc, 0)
                self.assertEqual(written, [])
                self.assertTrue(stderr.startswith("BristokeSampleWriter: "), stderr)
                self.assertEqual(os.listdir(self.out), [])
                self.assertFalse(os.path.exists(outside))

    def test_ExistingOutput_NeverReplaced(self):
        plain = self.plain_file(10)
        [path] = self.write([plain])
        before = self.read(path)
        rc, _, stderr = run_writer(self.key_list, self.out, [plain])
        self.assertEqual(rc, 1)
        self.assertIn("never replaced", stderr)
        self.assertEqual(self.read(path), before)

    def test_BadCommandLines_UsageAndExit2(self):
        plain = self.plain_file(10)
        for options in (["--variant", "2"], ["--variant", "x"], ["--bogus", "1"],
                        ["--variant", "5", "--plain-size", "3"], ["--factors", "1,2"],
                        ["--variant", "5", "--factors", "1,4294967296"], ["--key", "-1"],
                        ["--ext", "BRSK"], ["--plain-size"]):
            with self.subTest(options=options):
                rc, written, stderr = run_writer(self.key_list, self.out, [plain], *options)
                self.assertEqual(rc, 2, stderr)
                self.assertIn("usage: BristokeSampleWriter", stderr)
                self.assertEqual(os.listdir(self.out), [])

    def test_MissingInputOrKey_FailsWithoutOutput(self):
        plain = self.plain_file(10)
        for inputs, options, message in (
                ([os.path.join(self.tmp, "missing.dat")], [], "cannot read"),
                ([plain], ["--key", "3"], "has 3 keys, no key 3")):
            with self.subTest(message=message):
                rc, _, stderr = run_writer(self.key_list, self.out, inputs, *options)
                self.assertEqual(rc, 1)
                self.assertIn(message, stderr)
                self.assertEqual(os.listdir(self.out), [])


if __name__ == "__main__":
    main()
