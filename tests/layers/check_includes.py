"""Fails when a file of one subsystem folder of src/ includes a header of a folder above it.

The folders, lowest first: a folder may include its own headers and those of the folders listed
before it, never those after it, so each layer can be read, built and tested without the ones
above it."""
import os
import re
import sys

LAYERS = ["platform", "streams", "logging", "walker", "backup", "cleaner", "driver"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def upward_includes(src):
    """(file, line number, included header) for every include that runs upward or leaves the
    known folders."""
    found = []
    for folder in sorted(os.listdir(src)):
        if folder not in LAYERS:
            found.append((folder, 0, "a folder outside the layer list"))
            continue
        for directory, _, names in os.walk(os.path.join(src, folder)):
            for name in sorted(names):
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1).split("/")[0]
                        if target not in LAYERS or LAYERS.index(target) > LAYERS.index(folder):
                            found.append((os.path.relpath(path, src), number, match.group(1)))
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                             "..", "src")
    found = upward_includes(src)
    for path, number, header in found:
        print("%s:%d: includes %s" % (path, number, header))
    print("layers, lowest first: " + ", ".join(LAYERS))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
