#!/usr/bin/env bash
# Installs what a fresh Debian 12 (amd64) machine lacks to build and test the
# tool; anything already present is skipped, so running it again is cheap.
set -euo pipefail

CRYPTOPP_PREFIX="${CRYPTOPP_PREFIX:-/opt/bristoke-deps/cryptopp-i686}"
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

# i386 is needed for wine32, the loader of 32-bit Windows programs.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    apt_updated=0
fi

# chromium: the report tests open the report's page in it, headless.
PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 cmake ninja-build
          doctest-dev openssl tmux python3 make xz-utils dpkg-dev chromium)
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

# Crypto++ has no MinGW package: build its static library from Debian's source.
if [ ! -f "$CRYPTOPP_PREFIX/.built" ]; then
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
    log "building Crypto++ for i686-w64-mingw32 (about a minute)"
    make -C "$work/cryptopp" -f GNUmakefile-cross -j"$(nproc)" \
        CXX=i686-w64-mingw32-g++-win32 AR=i686-w64-mingw32-ar RANLIB=i686-w64-mingw32-ranlib \
        CXXFLAGS="-O2 -DNDEBUG" static >/dev/null
    $SUDO mkdir -p "$CRYPTOPP_PREFIX/include/cryptopp" "$CRYPTOPP_PREFIX/lib"
    $SUDO cp "$work"/cryptopp/*.h "$CRYPTOPP_PREFIX/include/cryptopp/"
    $SUDO cp "$work"/cryptopp/libcryptopp.a "$CRYPTOPP_PREFIX/lib/"
    $SUDO touch "$CRYPTOPP_PREFIX/.built"
else
    log "Crypto++ present in $CRYPTOPP_PREFIX"
fi
log "done"
