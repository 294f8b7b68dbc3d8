# The two builds, for scripts that source this file: build/i686 (the release) and build/x86_64
# (its 64-bit twin), and which of them this machine runs (found by scripts/setup.sh).
BRISTOKE_DEPS="${BRISTOKE_DEPS:-/opt/bristoke-deps}"

arch_name() { # i686|x86_64
    case "$1" in
    i686) echo "32-bit (i686)" ;;
    x86_64) echo "64-bit (x86_64)" ;;
    esac
}

runnable_archs() {
    cat "$BRISTOKE_DEPS/runnable-builds"
}

# The build whose programs run here, the 32-bit one first; BRISTOKE_TEST_ARCH chooses another
# that runs too.
suite_arch() {
    local runnable wanted
    runnable=" $(runnable_archs) "
    wanted="${BRISTOKE_TEST_ARCH:-}"
    if [ -z "$wanted" ]; then
        wanted="${runnable# }"
        wanted="${wanted%% *}"
    fi
    case "$wanted" in i686 | x86_64) ;; *)
        echo "BRISTOKE_TEST_ARCH must be i686 or x86_64, not $wanted" >&2
        return 1
        ;;
    esac
    if [[ "$runnable" != *" $wanted "* ]]; then
        echo "this machine cannot run the $(arch_name "$wanted") build (it runs:$runnable)" >&2
        return 1
    fi
    echo "$wanted"
}

configure_build() { # preset (an arch, or release-ARCH), extra cmake arguments...
    cmake --preset "$1" "${@:2}" >/dev/null
}
