"""Encrypted-file fixtures: the sample writer, the demo keys, and an independent decryption.

The decryption here uses openssl and a plain Python Salsa20, not the tool, so that fixtures can
be checked on their own."""
import base64
import os
import struct
import subprocess

from harness import BUILD, SOURCE, command, wine_env, win_path

WRITER = os.path.join(BUILD, "BristokeSampleWriter.exe")
DEMO_KEYS = [os.path.join(SOURCE, "demo-keys", "demo-key-%d.pem" % n) for n in (1, 2, 3)]
FOOTER_LENGTH = {1: 528, 3: 520, 4: 520, 5: 540}
MAGIC = (0x93892918, 0x00038281)


def private_key_blob(pem):
    return subprocess.run(["openssl", "rsa", "-in", pem, "-outform", "MSBLOB"], check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def write_blob_list(path, pems=DEMO_KEYS):
    """A key list for the sample writer: one Base64 PRIVATEKEYBLOB a line."""
    with open(path, "wb") as f:
        for pem in pems:
            f.write(base64.b64encode(private_key_blob(pem)) + b"\n")
    return path


def run_writer(key_list, out_dir, inputs, *options, writer=WRITER, env=None):
    """Runs the sample writer (by default the build's own); returns (exit code, written paths as
    Unix paths, stderr)."""
    args = command(writer, "--keys", win_path(key_list), "--out", win_path(out_dir))
    args += list(options) + [win_path(p) for p in inputs]
    proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(env),
                          timeout=600)
    written = [os.path.join(out_dir, line.rsplit("\\", 1)[1])
               for line in proc.stdout.decode("utf-8", "replace").splitlines() if line]
    return proc.returncode, written, proc.stderr.decode("utf-8", "replace")


def rsa_decrypt(block, pem):
    """PKCS #1 v1.5 decryption of a block stored least significant byte first; None if refused."""
    proc = subprocess.run(["openssl", "pkeyutl", "-decrypt", "-inkey", pem,
                           "-pkeyopt", "rsa_padding_mode:pkcs1"], input=bytes(reversed(block)),
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return proc.stdout if proc.returncode == 0 else None


def aes_cbc_decrypt(data, key, iv):
    return subprocess.run(["openssl", "enc", "-d", "-aes-256-cbc", "-nopad", "-K", key.hex(),
                           "-iv", iv.hex()], input=data, check=True,
                          stdout=subprocess.PIPE).stdout


def _rotl(value, count):
    return ((value << count) & 0xFFFFFFFF) | (value >> (32 - count))


def _quarter(x, a, b, c, d):
    x[b] ^= _rotl((x[a] + x[d]) & 0xFFFFFFFF, 7)
    x[c] ^= _rotl((x[b] + x[a]) & 0xFFFFFFFF, 9)
    x[d] ^= _rotl((x[c] + x[b]) & 0xFFFFFFFF, 13)
    x[a] ^= _rotl((x[d] + x[c]) & 0xFFFFFFFF, 18)


def _salsa20_block(key_words, nonce_words, counter):
    state = [0x61707865, *key_words[:4], 0x3320646E, *nonce_words, counter & 0xFFFFFFFF,
             counter >> 32, 0x79622D32, *key_words[4:], 0x6B206574]
    x = list(state)
    for _ in range(10):
        for a, b, c, d in ((0, 4, 8, 12), (5, 9, 13, 1), (10, 14, 2, 6), (15, 3, 7, 11),
                           (0, 1, 2, 3), (5, 6, 7, 4), (10, 11, 8, 9), (15, 12, 13, 14)):
            _quarter(x, a, b, c, d)
    return struct.pack("<16I", *((x[i] + state[i]) & 0xFFFFFFFF for i in range(16)))


def salsa20_xor(data, key, nonce):
    """Salsa20/20 with a 32-byte key and an 8-byte nonce, block counter from 0."""
    key_words = struct.unpack("<8I", key)
    nonce_words = struct.unpack("<2I", nonce)
    stream = b"".join(_salsa20_block(key_words, nonce_words, n)
                      for n in range((len(data) + 63) // 64))[:len(data)]
    return (int.from_bytes(data, "little") ^ int.from_bytes(stream, "little")).to_bytes(
        len(data), "little")


class Sample:
    """An encrypted file split into data and footer fields."""

    def __init__(self, path, variant):
        with open(path, "rb") as f:
            content = f.read()
        self.variant = variant
        length = FOOTER_LENGTH[variant]
        self.data, self.footer = content[:-length], content[-length:]
        self.key_block, self.iv_block = self.footer[:256], self.footer[256:512]
        if variant == 5:
            self.factors = struct.unpack_from("<QI", self.footer, 520)
            self.magic = struct.unpack_from("<II", self.footer, 532)
            self.unused = self.footer[512:520]
        else:
            self.plain_size = struct.unpack_from("<Q", self.footer, 512)[0]

    def file_key(self, pem):
        """Key and IV (or nonce) from the footer's blocks; None when the key does not open them."""
        key, iv = rsa_decrypt(self.key_block, pem), rsa_decrypt(self.iv_block, pem)
        return (key, iv) if key is not None and iv is not None else None

    def decrypt(self, pem):
        """The plain content as the family's decryption gives it back."""
        key, iv = self.file_key(pem)
        if self.variant < 4:
            return aes_cbc_decrypt(self.data, key, iv)[:self.plain_size]
        if self.variant == 4:
            return salsa20_xor(self.data, key, iv)
        encrypted = min((self.factors[0] * self.factors[1]) % 2 ** 64, len(self.data))
        return salsa20_xor(self.data[:encrypted], key, iv) + self.data[encrypted:]
