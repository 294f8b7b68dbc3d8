"""Fails when a file of one layer folder includes a header of a folder above it, in src/ (the
tool's library) and in report/ (the fleet report, which stands on the whole library), or when
the report's modules include each other in a circle.

The folders, lowest first: a folder may include its own headers and those of the folders listed
before it, never those after it, so each layer can be read, built and tested without the ones
above it. The report's tests folder stands above all of them."""
import os
import re
import sys

SRC_LAYERS = ["platform", "streams", "logging", "walker", "backup", "cleaner", "driver"]
REPORT_LAYERS = ["io", "parse", "fleet", "csv", "page", "app"]
# Files of a tree that are not sources of a layer.
NOT_SOURCES = {"CMakeLists.txt"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def includes(path):
    """(line number, included header) of each quoted include of a file."""
    with open(path, encoding="utf-8") as f:
        return [(number, match.group(1)) for number, match in
                ((n, INCLUDE.match(line)) for n, line in enumerate(f, 1)) if match]


def sources(root, folder):
    for directory, _, names in os.walk(os.path.join(root, folder)):
        for name in sorted(names):
            yield os.path.join(directory, name)


def upward_includes(root, layers, below=()):
    """(file, line number, included header) for every include that runs upward or leaves the
    known folders; below: folders of another tree that every layer of this one stands on."""
    found = []
    for folder in sorted(os.listdir(root)):
        if folder in NOT_SOURCES or (folder == "tests" and below):
            continue
        if folder not in layers:
            found.append((folder, 0, "a folder outside the layer list"))
            continue
        for path in sources(root, folder):
            for number, header in includes(path):
                target = header.split("/")[0]
                allowed = target in below or (
                    target in layers and layers.index(target) <= layers.index(folder))
                if not allowed:
                    found.append((os.path.relpath(path, root), number, header))
    return found


def circles(root, layers):
    """The circles among the modules of a tree (a header and its source are one module): each a
    list of modules, the first again at its end."""
    edges = {}
    for folder in layers:
        for path in sources(root, folder):
            module = os.path.splitext(os.path.relpath(path, root))[0].replace(os.sep, "/")
            edges.setdefault(module, set()).update(
                os.path.splitext(header)[0] for _, header in includes(path))
    found, done = [], set()

    def visit(module, trail):
        if module in trail:
            found.append(trail[trail.index(module):] + [module])
            return
        if module in done or module not in edges:
            return
        for target in sorted(edges[module] - {module}):
            visit(target, trail + [module])
        done.add(module)

    for module in sorted(edges):
        visit(module, [])
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src")
    report = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "report")
    failed = False
    for name, root, layers, below in (("src", src, SRC_LAYERS, ()),
                                      ("report", report, REPORT_LAYERS, SRC_LAYERS)):
        for path, number, header in upward_includes(root, layers, below):
            print("%s/%s:%d: includes %s" % (name, path, number, header))
            failed = True
        print("%s layers, lowest first: %s" % (name, ", ".join(layers)))
    for circle in circles(report, REPORT_LAYERS):
        print("report: a circle of includes: " + " -> ".join(circle))
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
