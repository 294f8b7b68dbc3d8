# The two builds, for scripts that source this file: build/i686 (the release) and build/x86_64
# (its 64-bit twin), and how this machine runs each (found by scripts/probe-builds.sh).
BRISTOKE_DEPS="${BRISTOKE_DEPS:-/opt/bristoke-deps}"
BRISTOKE_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

arch_name() { # i686|x86_64
    case "$1" in
    i686) echo "32-bit (i686)" ;;
    x86_64) echo "64-bit (x86_64)" ;;
    esac
}

# The builds whose programs the kernel runs, and those that run through QEMU's user-mode
# emulator instead (the 32-bit one on a machine that cannot execute 32-bit programs).
native_archs() {
    cat "$BRISTOKE_DEPS/machine/native-builds"
}
emulated_archs() {
    cat "$BRISTOKE_DEPS/machine/emulated-builds"
}

# The address space qemu reserves for Wine's 32-bit loader: without it each start spends 20-40 s
# in qemu's memory bookkeeping; 2 GiB is too much for Wine's shared user data.
# shellcheck disable=SC2034 # for the scripts that source this file
EMULATOR_RESERVED_VA=0x81000000

run_way() { # arch: how its programs run here
    if [[ " $(native_archs) " == *" $1 "* ]]; then
        echo natively
    elif [[ " $(emulated_archs) " == *" $1 "* ]]; then
        echo "through the emulator"
    else
        return 1
    fi
}

# The architecture of a build's test prefix, and of Wine's own programs (cmd, reg) in it: the
# build's own, but a 64-bit one for the 32-bit build where it runs through the emulator. Wine's own
# programs and services are 64-bit ones there, which run natively (its 32-bit services crash at
# times under the emulator), and only the build's programs are emulated, under WoW64.
prefix_arch() { # arch
    if [ "$1" = i686 ] && [ "$(run_way i686)" = natively ]; then echo i686; else echo x86_64; fi
}

# The build whose programs run here, the first that runs natively (the 32-bit one where it can);
# BRISTOKE_TEST_ARCH chooses another that runs, natively or emulated.
suite_arch() {
    local native wanted
    native="$(native_archs)"
    wanted="${BRISTOKE_TEST_ARCH:-${native%% *}}"
    case "$wanted" in i686 | x86_64) ;; *)
        echo "BRISTOKE_TEST_ARCH must be i686 or x86_64, not $wanted" >&2
        return 1
        ;;
    esac
    if ! run_way "$wanted" >/dev/null; then
        echo "this machine cannot run the $(arch_name "$wanted") build (it runs: $native)" >&2
        return 1
    fi
    echo "$wanted"
}

# Runs a command where the programs of a build run: in a namespace whose kernel hands 32-bit
# programs to the emulator when that build's run through it, so that their children do too.
run_for() { # arch command [args...]
    if [ "$(run_way "$1")" = natively ]; then
        "${@:2}"
    else
        "$BRISTOKE_SCRIPTS/i386-namespace.sh" emulate "${@:2}"
    fi
}

configure_build() { # preset (an arch, or release-ARCH), extra cmake arguments...
    cmake --preset "$1" "${@:2}" >/dev/null
}
