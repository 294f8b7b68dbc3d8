#!/usr/bin/env python3
"""Builds the scrambled key database resource (RCDATA 101) from a key list.

A key list is a text file with one entry a line; blank lines and lines starting with "#" are
skipped. An entry is either the path of a PEM file holding an RSA private key (relative to the
list's folder) or the Base64 text of a CryptoAPI PRIVATEKEYBLOB
(`openssl rsa -in key.pem -outform MSBLOB | base64 -w0`). Every key must have a 2048-bit modulus
and be an exchange key (a signature-only blob cannot decrypt). Anything else stops the build
with a message that names the entry.
"""
import argparse
import base64
import binascii
import hashlib
import os
import re
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCRAMBLE_HEADER = os.path.join(HERE, "..", "..", "src", "cleaner", "key_scramble.h")
SCRAMBLE_NAMES = ("Add1", "Xor1", "Add2", "Xor2")
FORMAT_VERSION = 3
MODULUS_BITS = 2048

PRIVATEKEYBLOB = 7
CUR_BLOB_VERSION = 2
CALG_RSA_KEYX = 0xA400
CALG_RSA_SIGN = 0x2400
BLOB_HEAD = struct.Struct("<BBHI4sII")  # BLOBHEADER + RSAPUBKEY


class KeyListError(Exception):
    pass


def read_scramble_constants(header=SCRAMBLE_HEADER):
    """The four byte constants of the loader, read from its header so both sides agree."""
    with open(header, encoding="utf-8") as f:
        text = f.read()
    found = dict(re.findall(r"constexpr\s+uint8_t\s+(\w+)\s*=\s*(0x[0-9A-Fa-f]{1,2})\s*;", text))
    missing = [name for name in SCRAMBLE_NAMES if name not in found]
    if missing:
        raise KeyListError("%s: no scramble constant %s" % (header, ", ".join(missing)))
    return tuple(int(found[name], 16) for name in SCRAMBLE_NAMES)


def scramble_table(constants):
    """Byte table of the inverse of the loader's chain (add, xor, add, xor)."""
    add1, xor1, add2, xor2 = constants
    return bytes((((((b ^ xor2) - add2) & 0xFF) ^ xor1) - add1) & 0xFF for b in range(256))


def scramble(data, constants=None):
    return bytes(data).translate(scramble_table(constants or read_scramble_constants()))


def fingerprint(records):
    """The key set's fingerprint, as the tool logs it: the first 16 hex digits of the SHA-256 of
    the records as stored, each with its length."""
    stored = b"".join(struct.pack("<I", len(record)) + record for record in records)
    return hashlib.sha256(stored).hexdigest()[:16]


def database_bytes(records, version=FORMAT_VERSION, count=None):
    """Descrambled resource: "OVIX", total length, version, key count and length-prefixed records."""
    body = struct.pack("<II", version, len(records) if count is None else count)
    body += b"".join(struct.pack("<I", len(record)) + record for record in records)
    return b"OVIX" + struct.pack("<I", 8 + len(body)) + body


def describe(line_number, entry):
    shown = entry if len(entry) <= 60 else entry[:57] + "..."
    return "key list line %d: '%s'" % (line_number, shown)


def run_openssl(args, data=None):
    proc = subprocess.run(["openssl"] + args, input=data if data is not None else b"",
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    first_error = proc.stderr.decode("utf-8", "replace").strip().splitlines()
    return proc.returncode, proc.stdout, first_error[0] if first_error else "no output"


def blob_from_pem(path, where):
    # An empty pass phrase makes an encrypted key fail instead of prompting for one.
    rc, blob, error = run_openssl(["rsa", "-in", path, "-outform", "MSBLOB", "-passin", "pass:"])
    if rc != 0:
        raise KeyListError("%s: not an RSA private key (openssl: %s)" % (where, error))
    return blob


def blob_from_base64(entry, where):
    try:
        blob = base64.b64decode(entry, validate=True)
    except (binascii.Error, ValueError):
        raise KeyListError("%s: neither a key file nor Base64 text" % where) from None
    if len(blob) < BLOB_HEAD.size:
        raise KeyListError("%s: not a PRIVATEKEYBLOB (%d bytes)" % (where, len(blob)))
    blob_type, blob_version, _, algorithm, magic, _, _ = BLOB_HEAD.unpack_from(blob)
    if (blob_type, blob_version, magic) != (PRIVATEKEYBLOB, CUR_BLOB_VERSION, b"RSA2") or \
            algorithm not in (CALG_RSA_KEYX, CALG_RSA_SIGN):
        raise KeyListError("%s: not an RSA PRIVATEKEYBLOB" % where)
    # The system imports such a key, but CryptDecrypt refuses it: no file would ever open.
    if algorithm == CALG_RSA_SIGN:
        raise KeyListError("%s: a signature-only key (CALG_RSA_SIGN), which cannot decrypt" % where)
    rc, verdict, error = run_openssl(["rsa", "-inform", "MSBLOB", "-check", "-noout"], blob)
    # openssl 3.0 exits with 0 even when the check fails; its verdict is on standard output.
    if rc != 0 or verdict.strip() != b"RSA key ok":
        raise KeyListError("%s: not a valid RSA private key (openssl: %s)" % (where, error))
    return blob


def check_modulus(blob, where):
    bits = BLOB_HEAD.unpack_from(blob)[5]
    if bits != MODULUS_BITS:
        raise KeyListError("%s: modulus of %d bits, %d required" % (where, bits, MODULUS_BITS))
    # Header, modulus and private exponent of bits/8 bytes, five CRT values of bits/16.
    if len(blob) != BLOB_HEAD.size + bits // 8 * 2 + bits // 16 * 5:
        raise KeyListError("%s: PRIVATEKEYBLOB of %d bytes has the wrong size" % (where, len(blob)))


def read_key_list(list_path):
    """The PRIVATEKEYBLOBs of the list in order, and the files they were read from."""
    base = os.path.dirname(os.path.abspath(list_path))
    blobs, sources = [], []
    with open(list_path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, raw in enumerate(lines, start=1):
        entry = raw.strip()
        if not entry or entry.startswith("#"):
            continue
        where = describe(number, entry)
        path = os.path.join(base, entry)
        if os.path.isfile(path):
            blob = blob_from_pem(path, where)
            sources.append(path)
        else:
            blob = blob_from_base64(entry, where)
        check_modulus(blob, where)
        blobs.append(blob)
    if not blobs:
        raise KeyListError("%s: the key list holds no keys" % list_path)
    return blobs, sources


def write_atomically(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def depfile_text(target, inputs):
    escape = lambda p: p.replace("\\", "/").replace(" ", "\\ ")
    return "%s: %s\n" % (escape(target), " ".join(escape(p) for p in inputs))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("key_list", help="the key list to read")
    parser.add_argument("--out", help="the scrambled resource to write")
    parser.add_argument("--blobs", help="also write the keys as Base64 PRIVATEKEYBLOB lines")
    parser.add_argument("--depfile", help="write the files the resource was made from")
    parser.add_argument("--key-set-header",
                        help="write the key set's fingerprint as BRISTOKE_KEY_SET, for a resource")
    parser.add_argument("--fingerprint", action="store_true",
                        help="only print the key set's fingerprint")
    parser.add_argument("--holds-any-of", metavar="OTHER_LIST",
                        help="only say whether the list holds a key of OTHER_LIST: exit 0 if so, "
                             "3 if not")
    args = parser.parse_args(argv)
    if not (args.out or args.fingerprint or args.holds_any_of):
        parser.error("--out, --fingerprint or --holds-any-of is required")
    try:
        constants = read_scramble_constants()
        blobs, sources = read_key_list(args.key_list)
        others = read_key_list(args.holds_any_of)[0] if args.holds_any_of else []
    except (KeyListError, OSError) as error:
        print("make_key_database: %s" % error, file=sys.stderr)
        return 1
    records = [base64.b64encode(blob) for blob in blobs]
    if args.holds_any_of:
        return 0 if set(blobs) & set(others) else 3
    if args.fingerprint:
        print(fingerprint(records))
        return 0
    write_atomically(args.out, scramble(database_bytes(records), constants))
    if args.blobs:
        write_atomically(args.blobs, b"".join(record + b"\n" for record in records))
    if args.key_set_header:
        write_atomically(args.key_set_header,
                         b'#define BRISTOKE_KEY_SET "key set %s"\n' %
                         fingerprint(records).encode("ascii"))
    if args.depfile:
        inputs = [os.path.abspath(args.key_list), os.path.abspath(SCRAMBLE_HEADER)] + sources
        write_atomically(args.depfile, depfile_text(args.out, inputs).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
