#!/usr/bin/env bash
# Sets up and builds, encrypts a sample directory with the demo keys (every variant, some files
# nested, one variant-5 file under a random extension, one file that is not the family's), runs
# the tool on it under Wine in this terminal, and checks that every file came back byte for byte.
# It uses the build this machine runs natively: the 32-bit one where it can, else the 64-bit one
# (BRISTOKE_TEST_ARCH=i686|x86_64 chooses, also one that runs through the emulator). Exit code 0
# when every file came back and the foreign file is untouched, 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
if [ -z "${BRISTOKE_DEMO_BUILT:-}" ]; then ./scripts/setup.sh; fi
# shellcheck source=scripts/builds.sh
. scripts/builds.sh
arch="$(suite_arch)"
build="$root/build/$arch"
if [ -z "${BRISTOKE_DEMO_BUILT:-}" ]; then
    configure_build "$arch" --no-warn-unused-cli
    cmake --build "$build" --target BristokeDecryptor BristokeSampleWriter
    # A build that runs through the emulator runs the rest in a namespace whose kernel hands
    # 32-bit programs to it, so that Wine's 32-bit processes can start others.
    if [ "$(run_way "$arch")" != natively ]; then
        BRISTOKE_DEMO_BUILT=1 exec "$BRISTOKE_SCRIPTS/i386-namespace.sh" emulate "$0" "$@"
    fi
fi
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all BRISTOKE_ARCH="$arch"
"$root/tests/wine-prefix.sh" start
trap '"$root/tests/wine-prefix.sh" stop' EXIT
run="$root/scripts/windows-run.sh"

if [ -t 1 ]; then bold=$'\033[1m' green=$'\033[32m' red=$'\033[31m' plain=$'\033[0m'
else bold="" green="" red="" plain=""; fi
say() { printf '%s[demo]%s %s\n' "$bold" "$plain" "$*"; }
say "this machine runs the $(arch_name "$arch") build $(run_way "$arch"): $build/BristokeDecryptor.exe"
win() { local path; path="$(realpath "$1")"; printf 'Z:%s' "${path//\//\\}"; }

demo="$build/demo"
originals="$demo/originals"
samples="$demo/samples"
rm -rf "$demo"
mkdir -p "$originals/docs/archive" "$originals/music" "$samples"

# Plain files, a few MB in all. Of the AES ones, photo.jpg ends in a partial block (padded)
# and ledger.db fills whole blocks (no padding block).
head -c 1500001 /dev/urandom >"$originals/photo.jpg"
for i in $(seq 1 4000); do echo "line $i of the quarterly report"; done >"$originals/docs/report.txt"
head -c 65536 /dev/urandom >"$originals/docs/archive/ledger.db"
head -c 1048577 /dev/urandom >"$originals/docs/archive/backup.zip"
head -c 2000000 /dev/urandom >"$originals/music/song.mp3"

# Each entry: variant, path under originals, extra writer options.
entries=(
    "1|photo.jpg|"
    "3|docs/report.txt|--ext .QOVE --key 1"
    "1|docs/archive/ledger.db|--key 2"
    "4|docs/archive/backup.zip|"
    "5|music/song.mp3|--factors 4096,64 --key 1"
)
encrypted=()
encrypted_sums=()
for entry in "${entries[@]}"; do
    IFS='|' read -r variant relative options <<<"$entry"
    out="$samples/$(dirname "$relative")"
    mkdir -p "$out"
    # shellcheck disable=SC2086 # options are words
    written="$("$run" "$build/BristokeSampleWriter.exe" --keys "$(win "$build/key_database/key_blobs.txt")" \
        --out "$(win "$out")" --variant "$variant" $options "$(win "$originals/$relative")" |
        tr -d '\r')"
    name="${written##*\\}"
    encrypted+=("${relative%"${relative##*/}"}$name")
    encrypted_sums+=("$(sha256sum <"$out/$name")")
    say "variant $variant: ${encrypted[-1]}"
done
# Not the family's: left alone by the tool, byte for byte.
foreign="$samples/docs/holiday.png"
head -c 300000 /dev/urandom >"$foreign"
foreign_sum="$(sha256sum <"$foreign")"
say "not encrypted: docs/holiday.png"

say "running the tool on $samples (its log lands in $demo)"
cd "$demo"
if [ -t 1 ]; then
    # The tool draws on a console the size of the terminal and takes the screen as empty.
    clear
fi
set +e
# With no terminal to read, the tool answers its final prompt by itself.
"$run" ../BristokeDecryptor.exe "$(win "$samples")"
rc=$?
set -e
echo
say "the tool exited with code $rc"

failed=0
check() { # text, command...
    if "${@:2}"; then
        printf '  %sOK%s      %s\n' "$green" "$plain" "$1"
    else
        printf '  %sFAILED%s  %s\n' "$red" "$plain" "$1"
        failed=1
    fi
}
same_sum() { [ "$(sha256sum <"$1")" = "$2" ]; }
one_backup_holds() { # encrypted file, its checksum before the run
    local backups=("$1".backup_*by_ovix)
    [ "${#backups[@]}" -eq 1 ] && [ -f "${backups[0]}" ] && same_sum "${backups[0]}" "$2"
}
say "checking every file against its original"
for i in "${!entries[@]}"; do
    IFS='|' read -r _ relative _ <<<"${entries[$i]}"
    check "$relative: same bytes as the original" cmp -s "$originals/$relative" "$samples/$relative"
    check "${encrypted[$i]}: kept as its backup" one_backup_holds "$samples/${encrypted[$i]}" \
        "${encrypted_sums[$i]}"
done
check "docs/holiday.png: not the family's, untouched" same_sum "$foreign" "$foreign_sum"
check "docs/holiday.png: nothing written beside it" \
    test -z "$(find "$samples" -name 'holiday.png?*' -o -name 'holiday')"
check "exit code 0" test "$rc" -eq 0
if [ "$failed" -ne 0 ]; then
    say "FAILED"
    exit 1
fi
say "every file came back"
