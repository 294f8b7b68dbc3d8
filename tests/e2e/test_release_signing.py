"""With a certificate (a PFX file and its password in BRISTOKE_SIGN_PFX and
BRISTOKE_SIGN_PASSWORD), the release command signs every executable with Authenticode before it
makes the checksums and the zips; a wrong password stops it and leaves no dist/. The certificate
is a throwaway one made here with OpenSSL; the signatures are verified against it with
osslsigncode. One architecture: the build under test's."""
import os
import secrets
import shutil
import subprocess
import tempfile
import unittest
import zipfile

from harness import main
from release_runs import PROGRAMS, clone, package_name, release

ARCH = os.environ.get("BRISTOKE_ARCH", "i686")


def make_certificate(folder, password):
    """(certificate PEM, PFX) of a self-signed code-signing certificate."""
    key, certificate = os.path.join(folder, "key.pem"), os.path.join(folder, "signer.pem")
    pfx = os.path.join(folder, "signer.pfx")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Bristoke throwaway test signer", "-keyout", key,
                    "-out", certificate, "-addext", "keyUsage=critical,digitalSignature",
                    "-addext", "extendedKeyUsage=codeSigning"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate,
                    "-out", pfx, "-passout", "pass:" + password], check=True)
    return certificate, pfx


def verify(path, certificate):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", path],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


class SigningTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="bristoke-signing-")
        cls.password = secrets.token_hex(12)
        cls.certificate, cls.pfx = make_certificate(cls.tmp.name, cls.password)
        cls.checkout = os.path.join(cls.tmp.name, "checkout")
        clone(cls.checkout)
        cls.signed_run = release(cls.checkout, [ARCH], env={"BRISTOKE_SIGN_PFX": cls.pfx,
                                                     "BRISTOKE_SIGN_PASSWORD": cls.password})
        cls.name = package_name(cls.checkout, ARCH)
        cls.dist = os.path.join(cls.checkout, "dist")
        # Kept aside: the last test releases again, and a failed release removes dist/.
        cls.kept = os.path.join(cls.tmp.name, "dist")
        shutil.copytree(cls.dist, cls.kept)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_Release_SignsEveryExecutable_VerifiedAgainstTheCertificate(self):
        self.assertEqual(self.signed_run.returncode, 0, self.signed_run.stdout)
        self.assertIn("[release] signed with Authenticode", self.signed_run.stdout)
        self.assertNotIn("not signed", self.signed_run.stdout)
        for program in PROGRAMS:
            with self.subTest(program=program):
                result = verify(os.path.join(self.kept, self.name, program), self.certificate)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertIn("Signature verification: ok", result.stdout)

    def test_SignedFile_OneByteChanged_FailsVerification(self):
        tampered = os.path.join(self.tmp.name, "tampered.exe")
        shutil.copy(os.path.join(self.kept, self.name, PROGRAMS[0]), tampered)
        with open(tampered, "r+b") as f:
            f.seek(0x2000)
            byte = f.read(1)
            f.seek(0x2000)
            f.write(bytes([byte[0] ^ 0xFF]))
        result = verify(tampered, self.certificate)
        self.assertNotEqual(result.returncode, 0, result.stdout)

    def test_ChecksumsZipAndGuide_AreOfTheSignedFiles(self):
        check = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=self.kept,
                               stdout=subprocess.PIPE, text=True)
        self.assertEqual(check.returncode, 0, check.stdout)
        for program in PROGRAMS:
            self.assertIn("%s/%s: OK" % (self.name, program), check.stdout)
        with zipfile.ZipFile(os.path.join(self.kept, self.name + ".zip")) as z:
            for program in PROGRAMS:
                with open(os.path.join(self.kept, self.name, program), "rb") as f:
                    self.assertEqual(z.read(program), f.read(), program)
            self.assertIn(b"carry an Authenticode signature", z.read("README.txt"))

    def test_WrongPassword_StopsTheRelease_LeavesNoDist(self):
        run = release(self.checkout, [ARCH], env={"BRISTOKE_SIGN_PFX": self.pfx,
                                                  "BRISTOKE_SIGN_PASSWORD": "not the password"})
        self.assertNotEqual(run.returncode, 0, run.stdout)
        self.assertFalse(os.path.exists(self.dist))


if __name__ == "__main__":
    main()
