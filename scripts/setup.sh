#!/usr/bin/env bash
# Installs what a fresh Debian 12 (amd64) machine lacks to build and test the tool for both
# architectures, then finds out how this machine runs each build (scripts/probe-builds.sh, which
# writes it to $BRISTOKE_DEPS/machine). Anything already present is skipped, so running it again
# is cheap.
set -euo pipefail

DEPS="${BRISTOKE_DEPS:-/opt/bristoke-deps}"
ARCHS=(i686 x86_64)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

log() { printf '[setup] %s\n' "$*"; }

apt_updated=0
apt_update() {
    if [ "$apt_updated" -eq 0 ]; then
        $SUDO apt-get update -qq
        apt_updated=1
    fi
}

# i386 is needed for wine32, the loader of 32-bit Windows programs; wine64 runs 64-bit ones.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    apt_updated=0
fi

# chromium: the report tests open the report's page in it, headless. osslsigncode: the release
# command signs with it. locales: the tests give the tool the code pages of other locales.
# qemu-user: runs the 32-bit build where the kernel cannot (its binfmt package is left out: it
# would change the machine's own rules).
PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 cmake ninja-build doctest-dev openssl tmux python3 make xz-utils
          dpkg-dev chromium git osslsigncode locales qemu-user)
missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$p")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    log "installing: ${missing[*]}"
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    log "packages present"
fi

# Locales whose code pages the tests give the tool's redirected output (Wine takes a process's
# code pages from its locale, and decodes file names by it, so the locale must exist).
for wanted in ru_RU ja_JP; do
    if ! locale -a 2>/dev/null | grep -qx "$wanted.utf8"; then
        log "generating the locale $wanted.UTF-8"
        $SUDO sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -qx "$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        $SUDO locale-gen >/dev/null
    fi
done

# Crypto++ has no MinGW package: build its static library from Debian's source, once for each
# architecture, each into its own prefix.
work=""
cryptopp_source() { # unpacks the source package once, into $work/cryptopp
    if [ -n "$work" ]; then return; fi
    src_list=/etc/apt/sources.list.d/bristoke-deb-src.sources
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null; then
        log "adding deb-src entries"
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src_list" >/dev/null
        apt_updated=0
    fi
    apt_update
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    log "fetching the Crypto++ source package"
    (cd "$work" && apt-get source --download-only -qq libcrypto++ >/dev/null)
    (cd "$work" && dpkg-source -x --no-check ./*.dsc cryptopp >/dev/null)
}
for arch in "${ARCHS[@]}"; do
    prefix="$DEPS/cryptopp-$arch"
    if [ -f "$prefix/.built" ]; then
        log "Crypto++ for $arch present in $prefix"
        continue
    fi
    cryptopp_source
    triple="$arch-w64-mingw32"
    log "building Crypto++ for $triple (about a minute)"
    make -C "$work/cryptopp" -f GNUmakefile-cross clean >/dev/null
    make -C "$work/cryptopp" -f GNUmakefile-cross -j"$(nproc)" \
        CXX="$triple-g++-win32" AR="$triple-ar" RANLIB="$triple-ranlib" \
        CXXFLAGS="-O2 -DNDEBUG" static >/dev/null
    $SUDO mkdir -p "$prefix/include/cryptopp" "$prefix/lib"
    $SUDO cp "$work"/cryptopp/*.h "$prefix/include/cryptopp/"
    $SUDO cp "$work"/cryptopp/libcryptopp.a "$prefix/lib/"
    $SUDO touch "$prefix/.built"
done

"$(dirname "$0")/probe-builds.sh"
log "done"
