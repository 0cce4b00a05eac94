#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root, non-interactive) and builds the libraries the
# Windows target links statically (libpng and the audio codecs) from Debian's source packages once,
# caching them outside the source tree. Safe to run again: skips what is present.
set -euo pipefail

CACHE_DIR="${CALLWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/callwright}"
# Built for size and for reading only, every function and object in a section of its own so that
# the program's link drops what it never calls. A folder of its own per build
# recipe: a build tree configured for an earlier recipe keeps the library it was made with.
MINGW_PREFIX="$CACHE_DIR/mingw"
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
          g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
          wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick dpkg-dev ca-certificates
          nsis osslsigncode openssl python3 python3-yaml pkg-config
          libflac-dev libogg-dev libopus-dev libopusenc-dev libopusfile-dev)
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TOOLCHAIN="$HERE/cmake/mingw-w64-x86_64.cmake"
HOST=x86_64-w64-mingw32

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

# apt-get source needs a deb-src entry for the same archive as the binary packages.
ensure_deb_src() {
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    src_list=/etc/apt/sources.list.d/callwright-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee /etc/apt/sources.list.d/callwright-src.list >/dev/null
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
}

# Unpacks Debian's source package $1 into $2/src with Debian's patches applied.
unpack_debian_source() {
  local package="$1" work="$2"
  ensure_deb_src
  rm -rf "$work"; mkdir -p "$work"
  # The security archive may list a version whose files are gone; try each listed version,
  # newest first, and settle for the first one whose original tarball arrives.
  for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV | uniq); do
    (cd "$work" && apt-get source --download-only "$package=$version" >/dev/null 2>&1) || true
    ls "$work/${package}"_*.debian.tar.* >/dev/null 2>&1 && break
  done
  local tarball
  tarball=$(ls "$work/${package}"_*.orig.tar.* | head -n1)
  mkdir -p "$work/src"; tar -xf "$tarball" -C "$work/src" --strip-components=1
  # Debian's own fixes, when its packaging tarball came too.
  local debian_tar
  if debian_tar=$(ls "$work/${package}"_*.debian.tar.* 2>/dev/null | head -n1) && [ -n "$debian_tar" ]; then
    tar -xf "$debian_tar" -C "$work/src"
    if [ -f "$work/src/debian/patches/series" ]; then
      grep -v '^\s*#' "$work/src/debian/patches/series" | while read -r patch_name _; do
        [ -n "$patch_name" ] && patch -d "$work/src" -p1 -s < "$work/src/debian/patches/$patch_name"
      done
    fi
  fi
}

# Builds a CMake project for the target: static, release, without programs, tests or documents.
cmake_target_build() {
  local work="$1"; shift
  cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$MINGW_PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_PREFIX_PATH="$MINGW_PREFIX" -DCMAKE_FIND_ROOT_PATH="$MINGW_PREFIX;/usr/$HOST" \
    -DBUILD_TESTING=OFF "$@" >/dev/null
  cmake --build "$work/build" >/dev/null
  cmake --install "$work/build" >/dev/null
}

# Builds an autotools project for the target (the release tarballs carry their configure scripts).
autotools_target_build() {
  local work="$1"; shift
  (cd "$work/src" && PKG_CONFIG_LIBDIR="$MINGW_PREFIX/lib/pkgconfig" PKG_CONFIG_PATH= \
     ./configure --host="$HOST" --prefix="$MINGW_PREFIX" --enable-static --disable-shared \
       --disable-doc "$@" >/dev/null && make -j"$(nproc)" >/dev/null && make install >/dev/null)
}

# $1: Debian source package, $2: the library file that marks it built, then the build command.
target_library() {
  local package="$1" marker="$2"; shift 2
  [ -f "$MINGW_PREFIX/lib/$marker" ] && return 0
  echo "deps: building $package for the Windows target into $MINGW_PREFIX"
  local work="$CACHE_DIR/$package-build"
  unpack_debian_source "$package" "$work"
  "$@" "$work"
  rm -rf "$work"
}

build_libpng() {
  # Callwright only reads PNGs, from its own resources, with its own reader callback and error
  # handlers: no writing, no stdio, no console messages (which would pull in a printf).
  # The transforms and chunks it never asks for are left out too: every ancillary chunk but tRNS
  # (the text chunks each have an option of their own), and with gAMA and sRGB the colour-space
  # checks that only they would feed.
  printf 'option %s off\n' WRITE SIMPLIFIED_READ CONSOLE_IO READ_GAMMA READ_BACKGROUND READ_RGB_TO_GRAY \
    READ_QUANTIZE READ_ALPHA_MODE READ_INVERT READ_SHIFT READ_SWAP READ_PACKSWAP READ_INVERT_ALPHA \
    READ_SWAP_ALPHA READ_USER_TRANSFORM READ_STRIP_ALPHA READ_EXPAND_16 READ_STRIP_16_TO_8 \
    READ_TEXT READ_tEXt READ_zTXt READ_iTXt READ_tIME READ_sPLT READ_iCCP READ_sRGB READ_gAMA \
    READ_bKGD READ_sBIT READ_hIST READ_pCAL READ_sCAL READ_oFFs READ_pHYs READ_cHRM READ_eXIf \
    READ_UNKNOWN_CHUNKS > "$1/read-only.dfa"
  cmake_target_build "$1" -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG -ffunction-sections -fdata-sections" \
    -DDFA_XTRA="$1/read-only.dfa" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON -DZLIB_USE_STATIC_LIBS=ON
  # Marks this recipe's build: a library cached by an older recipe is replaced.
  touch "$MINGW_PREFIX/lib/libpng-read-lean-2.stamp"
}
build_libogg() { cmake_target_build "$1" -DINSTALL_DOCS=OFF; }
# The stack protector would need libssp at link time; the program links without it.
build_flac() {
  cmake_target_build "$1" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
    -DBUILD_CXXLIBS=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_PKGCONFIG_MODULES=ON -DWITH_OGG=OFF \
    -DWITH_STACK_PROTECTOR=OFF
}
# Opus' CMake files in its release tarball are incomplete; its configure script is whole.
build_opus() { autotools_target_build "$1" --disable-extra-programs --disable-stack-protector; }
build_libopusenc() { autotools_target_build "$1" --disable-examples; }
build_opusfile() { autotools_target_build "$1" --disable-http --disable-examples; }

target_library libpng1.6 libpng-read-lean-2.stamp build_libpng
target_library libogg libogg.a build_libogg
target_library flac libFLAC.a build_flac
target_library opus libopus.a build_opus
target_library libopusenc libopusenc.a build_libopusenc
target_library opusfile libopusfile.a build_opusfile
