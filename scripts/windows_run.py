"""Runs Windows programs of the build under Wine: the Python side of windows-run.sh, which picks
the loader by the program's architecture, and runs it natively or through the emulator as
scripts/probe-builds.sh found this machine does. Tests and benchmarks start every Windows program
through command(); none names `wine` or the emulator."""
import os
import shlex
import struct

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
RUN = os.path.join(SCRIPTS, "windows-run.sh")
DEPS = os.environ.get("BRISTOKE_DEPS", "/opt/bristoke-deps")
MACHINES = {0x14C: "i686", 0x8664: "x86_64"}


def command(program, *args):
    """The argument list that runs program (a PE file, or one of Wine's own programs such as
    "reg") with args. The helper execs the loader, so the process started is the Windows
    process: killing it kills the program."""
    return [RUN, program] + list(args)


def shell_command(program, *args):
    """command() as one line for a shell (a tmux pane)."""
    return " ".join(shlex.quote(word) for word in command(program, *args))


def pe_arch(path):
    """"i686" or "x86_64", from the machine field of a PE file's header."""
    with open(path, "rb") as f:
        f.seek(0x3C)
        (header,) = struct.unpack("<I", f.read(4))
        f.seek(header + 4)
        (machine,) = struct.unpack("<H", f.read(2))
    return MACHINES[machine]


def machine_record(name):
    """One of scripts/probe-builds.sh's records: "native" or "emulated" builds."""
    with open(os.path.join(DEPS, "machine", name + "-builds")) as f:
        return f.read().split()


def runnable_archs():
    """The builds this machine runs, natively first, then through the emulator."""
    return machine_record("native") + machine_record("emulated")


def win_path(path):
    """The Windows form of a Unix path under Wine (drive Z: is the Unix root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def default_build(root):
    """The build folder of the first architecture this machine runs natively, the 32-bit one
    first; BRISTOKE_TEST_ARCH chooses another."""
    arch = os.environ.get("BRISTOKE_TEST_ARCH") or machine_record("native")[0]
    return os.path.join(root, "build", arch)
