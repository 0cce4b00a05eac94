#!/usr/bin/env bash
# Builds what a Windows user downloads, from a Release build of the windows preset, into build/dist:
#   Callwright-<version>-setup.exe     the per-user setup (installer/callwright.nsi)
#   Callwright-<version>-portable.zip  Callwright.exe and a short README.txt
#   SHA256SUMS                         checksums of both
# The version is the CMake project version (CMakeLists.txt), the same one the programs carry.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/deps.sh

# The windows preset builds Release; the cache entry is pinned in case the folder was configured
# by hand with another build type.
cmake --preset windows -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build --preset windows --target Callwright callwright-setup

build="$root/build/windows"
version="$(cat "$build/installer/version.txt")"
setup="Callwright-$version-setup.exe"
zip="Callwright-$version-portable.zip"
dist="$root/build/dist"
rm -rf "$dist"
mkdir -p "$dist/portable"
cp "$build/bin/$setup" "$dist/"
cp "$build/bin/Callwright.exe" "$build/installer/README.txt" "$dist/portable/"
# The files' times are the build's; the archive carries no folder of its own.
(cd "$dist/portable" && cmake -E tar cf "../$zip" --format=zip Callwright.exe README.txt)
rm -rf "$dist/portable"
(cd "$dist" && sha256sum "$setup" "$zip" > SHA256SUMS)

echo "Packages in $dist:"
(cd "$dist" && ls -l "$setup" "$zip" SHA256SUMS | awk '{printf "  %-40s %10s bytes\n", $9, $5}')
