#!/usr/bin/env bash
# Builds what a Windows user downloads, from a Release build of the windows preset, into build/dist
# (or the folder CALLWRIGHT_DIST names):
#   Callwright-<version>-setup.exe     the per-user setup (installer/callwright.nsi)
#   Callwright-<version>-portable.zip  Callwright.exe and a short README.txt
#   Callwright-<version>.cdx.json      the software bill of materials (CycloneDX)
#   CHANGELOG.md                       the release notes
#   manifests/                         winget and Scoop manifests for both packages
#   SHA256SUMS                         checksums of every file above
# The version is the CMake project version (CMakeLists.txt), the same one the programs carry.
#
# Signing: with CALLWRIGHT_SIGN_PFX and CALLWRIGHT_SIGN_PASSWORD (and optionally
# CALLWRIGHT_SIGN_TIMESTAMP_URL) Callwright.exe, the uninstaller and the setup are signed
# (scripts/sign.sh); without them everything is built unsigned.
# Reproducible: file times in the zip and the setup are SOURCE_DATE_EPOCH, by default the time of
# the checked-out commit; two builds of one commit give the same bytes.
# CALLWRIGHT_RELEASE_URL is where the release's files will be downloaded from (the manifests point
# there).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if ! SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" || [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "package: not a git checkout; set SOURCE_DATE_EPOCH to the commit time of these sources" >&2
    exit 2
  fi
fi
export SOURCE_DATE_EPOCH

signing=
if [ -n "${CALLWRIGHT_SIGN_PFX:-}" ]; then
  [ -f "$CALLWRIGHT_SIGN_PFX" ] || { echo "package: no certificate file $CALLWRIGHT_SIGN_PFX" >&2; exit 2; }
  [ -n "${CALLWRIGHT_SIGN_PASSWORD+set}" ] || { echo "package: CALLWRIGHT_SIGN_PASSWORD is not set" >&2; exit 2; }
  CALLWRIGHT_SIGN_PFX="$(cd "$(dirname "$CALLWRIGHT_SIGN_PFX")" && pwd)/$(basename "$CALLWRIGHT_SIGN_PFX")"
  export CALLWRIGHT_SIGN_PFX CALLWRIGHT_SIGN_PASSWORD
  signing=1
else
  echo "package: no CALLWRIGHT_SIGN_PFX given, so the programs and the setup are not signed"
fi

# The windows preset builds Release; the cache entry is pinned in case the folder was configured
# by hand with another build type. Only the program is needed: the setup is made below from the
# signed copy.
cmake --preset windows -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build --preset windows --target Callwright

build="$root/build/windows"
version="$(cat "$build/installer/version.txt")"
setup="Callwright-$version-setup.exe"
zip="Callwright-$version-portable.zip"
dist="${CALLWRIGHT_DIST:-$root/build/dist}"
stage="$build/package"
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage"

# The program is signed before it goes into the setup and the zip.
cp "$build/bin/Callwright.exe" "$build/installer/README.txt" "$stage/"
nsis_sign=()
if [ -n "$signing" ]; then
  scripts/sign.sh "$stage/Callwright.exe"
  nsis_sign=("-DSIGN_COMMAND=$root/scripts/sign.sh")
fi
touch -d "@$SOURCE_DATE_EPOCH" "$stage/Callwright.exe" "$stage/README.txt"

makensis -V2 -NOCD -DVERSION="$version" -DVERSION_NUMBERS="$(cat "$build/installer/version-numbers.txt")" \
         -DPROGRAM="$stage/Callwright.exe" -DICON="$root/src/assets/Callwright.ico" \
         -DOUTFILE="$dist/$setup" "${nsis_sign[@]}" installer/callwright.nsi >/dev/null

python=/usr/bin/python3
"$python" scripts/release_files.py zip "$dist/$zip" "$stage/Callwright.exe" "$stage/README.txt"
cp CHANGELOG.md "$dist/"
"$python" scripts/release_files.py metadata --dist "$dist" --version "$version" \
          --setup "$setup" --zip "$zip" --program "$stage/Callwright.exe" \
          --components "$build/sbom-components.json" --changelog CHANGELOG.md \
          --release-url "${CALLWRIGHT_RELEASE_URL:-}"
rm -rf "$stage"

echo "Packages in $dist:"
(cd "$dist" && find . -type f | sed 's|^\./||' | sort | while read -r f; do
   printf '  %10s bytes  %s\n' "$(stat -c %s "$f")" "$f"; done)
