#!/usr/bin/env python3
"""The files of the release that the release command writes from text, so that the same commit
gives the same bytes on any machine, in any folder, at any time and in any time zone.

    release_files.py guide TEMPLATE OUT NAME=VALUE...   TEMPLATE with each @NAME@ replaced,
                                                        lines ended with CR LF (Notepad's)
    release_files.py zip OUT EPOCH FILE...              a zip of FILE... by their base names,
                                                        in name order, each dated EPOCH (UTC)
"""
import os
import sys
import time
import zipfile

# rw-r--r-- where the zip is unpacked on Unix, and made on FAT, as Windows' own zips say.
FILE_ATTRIBUTES = 0o644 << 16
CREATED_ON_MSDOS = 0


def guide(template, out, pairs):
    with open(template, encoding="utf-8") as f:
        text = f.read()
    for pair in pairs:
        name, value = pair.split("=", 1)
        text = text.replace("@%s@" % name, value)
    if "@" in text:
        raise SystemExit("release_files.py: a placeholder is left in " + out)
    with open(out, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("ascii"))


def write_zip(out, epoch, paths):
    stamp = time.gmtime(int(epoch))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for path in sorted(paths, key=os.path.basename):
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = FILE_ATTRIBUTES
            entry.create_system = CREATED_ON_MSDOS
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


def main(args):
    if len(args) >= 3 and args[0] == "guide":
        guide(args[1], args[2], args[3:])
    elif len(args) >= 4 and args[0] == "zip":
        write_zip(args[1], args[2], args[3:])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
