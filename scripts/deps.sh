#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root, non-interactive) and builds libpng for the
# Windows target once, caching it outside the source tree. Safe to run again: skips what is present.
set -euo pipefail

CACHE_DIR="${CALLWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/callwright}"
# Built for size and for reading only, every function and object in a section of its own so that
# the program's link drops what it never calls. A folder of its own per build
# recipe: a build tree configured for an earlier recipe keeps the library it was made with.
MINGW_PREFIX="$CACHE_DIR/mingw-sections"
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
          g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
          wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick dpkg-dev ca-certificates
          nsis)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$MINGW_PREFIX/lib/libpng16.a" ]; then
  echo "deps: building libpng for the Windows target into $MINGW_PREFIX"
  # apt-get source needs a deb-src entry for the same archive as the binary packages.
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    src_list=/etc/apt/sources.list.d/callwright-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee /etc/apt/sources.list.d/callwright-src.list >/dev/null
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
  work="$CACHE_DIR/libpng-build"
  rm -rf "$work"; mkdir -p "$work"
  # The security archive may list a version whose files are gone; try each listed version,
  # newest first, and settle for the first one whose original tarball arrives.
  for version in $(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -rV | uniq); do
    (cd "$work" && apt-get source --download-only "libpng1.6=$version" >/dev/null 2>&1) || true
    ls "$work"/libpng1.6_*.debian.tar.* >/dev/null 2>&1 && break
  done
  tarball=$(ls "$work"/libpng1.6_*.orig.tar.* | head -n1)
  mkdir -p "$work/src"; tar -xf "$tarball" -C "$work/src" --strip-components=1
  # Debian's own fixes, when its packaging tarball came too.
  if debian_tar=$(ls "$work"/libpng1.6_*.debian.tar.* 2>/dev/null | head -n1) && [ -n "$debian_tar" ]; then
    tar -xf "$debian_tar" -C "$work/src"
    if [ -f "$work/src/debian/patches/series" ]; then
      grep -v '^\s*#' "$work/src/debian/patches/series" | while read -r patch_name _; do
        [ -n "$patch_name" ] && patch -d "$work/src" -p1 -s < "$work/src/debian/patches/$patch_name"
      done
    fi
  fi
  here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  # Callwright only reads PNGs, from its own resources, with its own reader callback.
  printf 'option WRITE off\noption SIMPLIFIED_READ off\n' > "$work/read-only.dfa"
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG -ffunction-sections -fdata-sections" -DDFA_XTRA="$work/read-only.dfa" \
    -DCMAKE_INSTALL_PREFIX="$MINGW_PREFIX" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DZLIB_USE_STATIC_LIBS=ON >/dev/null
  cmake --build "$work/build" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
fi
