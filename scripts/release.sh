#!/usr/bin/env bash
# scripts/release.sh [--demo]
# Builds the release of this checkout's commit for both architectures and writes dist/, where
# NAME is BristokeDecryptor-VERSION-win32-keys-FINGERPRINT (and -win64-...), the fingerprint
# being the key set's, as every run's log and the version resource's comments name it:
#   NAME.zip                 the tool, the report and README.txt, the administrators' guide
#                            (CR LF)
#   NAME/                    the same files unpacked
#   symbols/NAME/            the executables as built, with the debug information of the
#                            project's code, for reading a crash; not shipped
#   SHA256SUMS               every file above
# A key list that holds any of the demo keys (demo-keys/, public) is refused unless --demo is
# given; such a release says "demo-keys" in its names and its guide says what that means.
# The executables are the tested ones stripped: the presets release-i686 and release-x86_64
# (folders build/release/ARCH) build what the suite's builds build, and the build is
# reproducible, so the same commit gives the same bytes anywhere, at any time.
# BRISTOKE_SIGN_PFX (a PFX file) and BRISTOKE_SIGN_PASSWORD sign every executable with
# Authenticode before the checksums are made; without them nothing is signed, and the release
# says so. BRISTOKE_KEY_LIST chooses the keys (default the demo keys, which need --demo);
# BRISTOKE_RELEASE_ARCHS="i686" builds one architecture only.
set -euo pipefail
started=$SECONDS
demo=0
case "${1:-}" in
"") ;;
--demo) demo=1 ;;
*)
    echo "usage: scripts/release.sh [--demo]" >&2
    exit 2
    ;;
esac
# Paths given by the caller are taken from the caller's folder.
root="$(realpath "$(dirname "$0")/..")"
key_list="$(realpath "${BRISTOKE_KEY_LIST:-$root/demo-keys/keys.txt}")"
make_key_database=("python3" "$root/tools/key_database/make_key_database.py" "$key_list")
# Refused before anything is built: the demo keys are public and open only the test samples.
if "${make_key_database[@]}" --holds-any-of "$root/demo-keys/keys.txt"; then
    if [ "$demo" != 1 ]; then
        echo "[release] refused: the key list $key_list holds demo keys (demo-keys/), which are public and open only test samples; set BRISTOKE_KEY_LIST to the production key list, or give --demo for a demonstration release" >&2
        exit 1
    fi
    keys_kind="demo-keys"
    keys_note="DEMO RELEASE: this tool carries only the project's public demo keys. It restores
nothing but the project's test samples; never give it to a victim."
else
    [ $? -eq 3 ] || exit 1
    [ "$demo" != 1 ] || { echo "[release] refused: --demo, but the key list $key_list holds no demo key" >&2; exit 1; }
    keys_kind="keys"
    keys_note="The tool carries the production key set."
fi
fingerprint="$("${make_key_database[@]}" --fingerprint)"
signing=""
if [ -n "${BRISTOKE_SIGN_PFX:-}" ]; then
    : "${BRISTOKE_SIGN_PASSWORD:?BRISTOKE_SIGN_PFX is set: BRISTOKE_SIGN_PASSWORD must hold its password}"
    signing="$(realpath "$BRISTOKE_SIGN_PFX")"
    signature="The executables carry an Authenticode signature."
else
    signature="The executables are not signed: check them against SHA256SUMS."
fi
cd "$root"
./scripts/setup.sh
# shellcheck source=scripts/builds.sh
. scripts/builds.sh
say() { printf '[release] %s\n' "$*"; }

read -ra archs <<<"${BRISTOKE_RELEASE_ARCHS:-i686 x86_64}"
declare -A windows=([i686]=win32 [x86_64]=win64)
programs=(BristokeDecryptor.exe BristokeReport.exe)
if [ -n "$(git status --porcelain)" ]; then
    say "WARNING: uncommitted changes: the programs say so, and this is not the release of a commit"
fi

for arch in "${archs[@]}"; do
    say "building the $(arch_name "$arch") release in build/release/$arch with the keys of $key_list (key set $fingerprint)"
    configure_build "release-$arch" -DBRISTOKE_KEY_LIST="$key_list" -DBRISTOKE_WERROR=OFF
    cmake --build --preset "release-$arch" >/dev/null
done

# What the programs say of their sources and carry as their link time, read by the build.
first="build/release/${archs[0]}"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$first/CMakeCache.txt")"
built_from="$(sed -n 's/^#define BRISTOKE_BUILT_FROM "Built from \(.*\)"$/\1/p' \
    "$first/generated/build_info.h")"
epoch="$(cat "$first/generated/build_epoch.txt")"
rm -rf dist
mkdir dist
# A release that fails leaves no dist/ to be taken for one.
trap 'rm -rf "$root/dist"' ERR
zips=()
package_name() { # arch
    echo "BristokeDecryptor-$version-${windows[$1]}-$keys_kind-$fingerprint"
}
for arch in "${archs[@]}"; do
    name="$(package_name "$arch")"
    build="build/release/$arch"
    mkdir -p "dist/$name" "dist/symbols/$name"
    for program in "${programs[@]}"; do
        cp "$build/$program" "dist/symbols/$name/"
        # strip stamps its output with the present unless told another time.
        SOURCE_DATE_EPOCH="$epoch" "$arch-w64-mingw32-strip" --strip-all \
            -o "dist/$name/$program" "$build/$program"
        if [ -n "$signing" ]; then
            osslsigncode sign -pkcs12 "$signing" -readpass <(printf '%s' "$BRISTOKE_SIGN_PASSWORD") \
                -h sha256 -n "Bristoke decryptor" \
                -in "dist/$name/$program" -out "dist/$name/$program.signed" >/dev/null
            mv "dist/$name/$program.signed" "dist/$name/$program"
        fi
    done
    python3 scripts/release_files.py guide packaging/README.txt.in "dist/$name/README.txt" \
        VERSION="$version" BITS="$(arch_name "$arch")" ZIP="$name.zip" BUILT_FROM="$built_from" \
        SIGNATURE="$signature" KEYS="$keys_kind-$fingerprint" FINGERPRINT="$fingerprint" \
        KEYS_NOTE="$keys_note"
    python3 scripts/release_files.py zip "dist/$name.zip" "$epoch" "dist/$name"/*
    zips+=("dist/$name.zip")
done
# Dated like the zips' entries, so a copy of the folder compares equal too.
find dist -type f -exec touch -d "@$epoch" {} +
(cd dist && find . -type f ! -name SHA256SUMS | LC_ALL=C sort | sed "s|^\./||" | xargs sha256sum >SHA256SUMS)
touch -d "@$epoch" dist/SHA256SUMS

say "files (bytes):"
(cd dist && find . -type f | LC_ALL=C sort | sed 's|^\./||' | xargs stat -c '%12s  %n')
say "SHA256SUMS:"
cat dist/SHA256SUMS
for arch in "${archs[@]}"; do
    name="$(package_name "$arch")"
    say "read back from the files of $name:"
    python3 scripts/pe_resources.py "${programs[@]/#/dist/$name/}"
done
if [ -n "$signing" ]; then
    say "signed with Authenticode by $BRISTOKE_SIGN_PFX, without a time stamp (no time-stamp server is reached from here)"
else
    say "not signed: no certificate given (BRISTOKE_SIGN_PFX and BRISTOKE_SIGN_PASSWORD)"
fi
say "release $version, built from $built_from, key set $fingerprint ($keys_kind): ${zips[*]} ($((SECONDS - started)) s)"
