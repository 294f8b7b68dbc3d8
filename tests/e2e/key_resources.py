"""Key database resources for tests: the build's key records, scrambled databases made from them,
and copies of a program given another RCDATA 101 (or none) with BristokeResourceTool.exe."""
import os
import struct
import subprocess
import sys
import time

from harness import BUILD, SOURCE, command, wine_env, win_path

sys.path.insert(0, os.path.join(SOURCE, "tools", "key_database"))
import make_key_database as producer  # noqa: E402

RESOURCE_TOOL = os.path.join(BUILD, "BristokeResourceTool.exe")
BUILD_BLOBS = os.path.join(BUILD, "key_database", "key_blobs.txt")
# As a resource: the program has no RCDATA 101 at all.
DELETE = object()


def build_records():
    """The build's keys as Base64 PRIVATEKEYBLOB records, in the order of its key list."""
    with open(BUILD_BLOBS, "rb") as f:
        return f.read().splitlines()


def key_set(records=None):
    """"key set FINGERPRINT" of the records (the build's by default), as the tool logs it and
    the version resource names it."""
    return "key set " + producer.fingerprint(build_records() if records is None else records)


def header(total_length, magic=b"OVIX"):
    return magic + struct.pack("<I", total_length)


def raw(data):
    """Descrambled bytes as the resource stores them."""
    return producer.scramble(data)


def database(records, version=3, count=None):
    """A scrambled resource holding the records, with the version and key count given."""
    return raw(producer.database_bytes(records, version, count))


def valid_database_bytes(records):
    """The descrambled bytes of a sound database of the records."""
    return producer.database_bytes(records)


def run_resource_tool(*args):
    # Wine may still map a program that has just ended, and then refuses to rewrite it: the
    # tool is given a few moments, as the wineserver needs between runs.
    for attempt in range(3):
        proc = subprocess.run(command(RESOURCE_TOOL, *args), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env())
        if proc.returncode == 0:
            return
        time.sleep(0.5)
    raise AssertionError("resource tool %s exited with %d: %s" % (
        args[0], proc.returncode, proc.stderr.decode("utf-8", "replace")))


def give_resource(exe, resource):
    """Replaces the key database of the program at exe by resource (bytes), or removes it."""
    if resource is DELETE:
        run_resource_tool("delete", win_path(exe))
        return
    content = exe + ".res"
    with open(content, "wb") as f:
        f.write(resource)
    run_resource_tool("set", win_path(exe), win_path(content))
    os.remove(content)
