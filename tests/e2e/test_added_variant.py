"""A variant added to the format by one row of its table: the build in test-variant/ carries a
test-only sixth variant (".BRSX", a 560-byte footer, 20 bytes longer than any other, Salsa20
with the plain size at 512). Its sample writer writes it and its tool cleans it; the longer
footer does not stop short variant-5 files from being recognised; the released tool knows
nothing of it."""
import os
import shutil

from decryption import DEMO_KEY_LIST
from harness import BUILD, EXE, ToolTestCase, main, win_path
from samples import run_writer

VARIANT_BUILD = os.path.join(BUILD, "test-variant")
VARIANT_TOOL = os.path.join(VARIANT_BUILD, "BristokeDecryptor.exe")
VARIANT_WRITER = os.path.join(VARIANT_BUILD, "BristokeSampleWriter.exe")


class AddedVariantTests(ToolTestCase):
    def encrypt(self, name, data, *options):
        plain = os.path.join(self.tmp, "plain", name)
        os.makedirs(os.path.dirname(plain), exist_ok=True)
        with open(plain, "wb") as f:
            f.write(data)
        out = os.path.join(self.tmp, "data")
        os.makedirs(out, exist_ok=True)
        rc, [written], stderr = run_writer(DEMO_KEY_LIST, out, [plain], *options,
                                           writer=VARIANT_WRITER)
        self.assertEqual(rc, 0, stderr)
        return written

    def test_TheAddedVariant_WrittenAndCleanedEndToEnd(self):
        data = os.urandom(100000)
        encrypted = self.encrypt("report.docx", data, "--variant", "6")
        self.assertTrue(encrypted.endswith("report.docx.BRSX"), encrypted)
        self.assertEqual(os.path.getsize(encrypted), len(data) + 560)
        # A variant-5 file shorter than the added footer: its last bytes are all it has.
        short = self.encrypt("tiny.txt", b"12345", "--variant", "5", "--ext", ".x1")
        self.assertEqual(os.path.getsize(short), 5 + 540)

        run = self.run_tool("/s", win_path(os.path.dirname(encrypted)),
                            exe=self.tool_copy(source=VARIANT_TOOL))
        self.assertEqual(run.rc, 0, run.stdout)
        self.assertIn("INFO: Supported file extensions : .BRSK, .QOVE, .QOVY, .BRSX, "
                      ".%RandomChars%", run.texts())
        self.assertIn("INFO: 2 file(s) cleaned.", run.texts())
        with open(encrypted[:-len(".BRSX")], "rb") as f:
            self.assertEqual(f.read(), data)
        with open(short[:-len(".x1")], "rb") as f:
            self.assertEqual(f.read(), b"12345")

    def test_TheReleasedTool_KnowsNothingOfIt(self):
        encrypted = self.encrypt("notes.txt", b"plain text", "--variant", "6")
        run = self.run_tool("/n", win_path(os.path.dirname(encrypted)),
                            exe=self.tool_copy(source=EXE))
        self.assertEqual(run.rc, 0, run.stdout)
        self.assertIn("INFO: Supported file extensions : .BRSK, .QOVE, .QOVY, .%RandomChars%",
                      run.texts())
        self.assertIn("INFO: 0 infected files found.", run.texts())
        shutil.rmtree(os.path.dirname(encrypted))


if __name__ == "__main__":
    main()
