"""Runs the release command (scripts/release.sh) in a clone of the sources under test, as an
administrator's build machine would, and reads what it wrote."""
import os
import shutil
import subprocess

from harness import SOURCE

WINDOWS = {"i686": "win32", "x86_64": "win64"}
TRIPLES = {"i686": "i686-w64-mingw32", "x86_64": "x86_64-w64-mingw32"}
PROGRAMS = ("BristokeDecryptor.exe", "BristokeReport.exe")


def git(directory, *args):
    return subprocess.run(["git", "-C", directory] + list(args), check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def clone(destination):
    """A clone of the sources' commit, with their uncommitted changes copied over it, so that
    the release of what is being tested is built and says what it is built from."""
    git(SOURCE, "clone", "--quiet", "--no-hardlinks", os.path.abspath(SOURCE), destination)
    changed = git(SOURCE, "ls-files", "--modified", "--others", "--exclude-standard", "-z")
    for path in sorted(set(filter(None, changed.split("\0")))):
        source, target = os.path.join(SOURCE, path), os.path.join(destination, path)
        if os.path.lexists(source):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(source, target)
        elif os.path.lexists(target):
            os.remove(target)


def release(checkout, archs, env=None, umask=0o022, args=("--demo",)):
    """Runs the checkout's release command for archs, by default a demo release; the finished
    process. Its build takes one processor, as a test beside the others should."""
    return subprocess.run([os.path.join(checkout, "scripts", "release.sh")] + list(args),
                          cwd=checkout,
                          env=dict(os.environ, BRISTOKE_RELEASE_ARCHS=" ".join(archs),
                                   CMAKE_BUILD_PARALLEL_LEVEL="1", **(env or {})),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=1800,
                          preexec_fn=lambda: os.umask(umask))


def version(checkout, arch):
    with open(os.path.join(checkout, "build", "release", arch, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise AssertionError("no project version in the release build of " + arch)


def fingerprint(checkout, key_list=None):
    """The key set's fingerprint of a key list, the checkout's demo keys by default."""
    return subprocess.run(
        ["python3", os.path.join(checkout, "tools", "key_database", "make_key_database.py"),
         key_list or os.path.join(checkout, "demo-keys", "keys.txt"), "--fingerprint"],
        check=True, stdout=subprocess.PIPE, text=True).stdout.strip()


def package_name(checkout, arch, key_list=None, kind="demo-keys"):
    return "BristokeDecryptor-%s-%s-%s-%s" % (version(checkout, arch), WINDOWS[arch], kind,
                                              fingerprint(checkout, key_list))


def files(directory):
    """Every file under directory, by its path relative to it."""
    return sorted(os.path.relpath(os.path.join(folder, name), directory)
                  for folder, _, names in os.walk(directory) for name in names)


def stripped(path, arch, epoch, out):
    """The file as the release strips it, stamped with the commit's time epoch."""
    subprocess.run([TRIPLES[arch] + "-strip", "--strip-all", "-o", out, path], check=True,
                   env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)))
    return out
