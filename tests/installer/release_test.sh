#!/usr/bin/env bash
# The release as scripts/package.sh makes it, checked from outside:
#   - signed with a throw-away code-signing certificate: Callwright.exe (in the zip and as the
#     setup installs it), the uninstaller the setup writes and the setup itself carry a valid
#     signature by that certificate (osslsigncode verify), and one changed byte breaks it;
#   - built again from a copy of the sources in another folder, from scratch: every file is
#     byte-identical, and no folder of either build is in the program;
#   - the winget and Scoop manifests, the bill of materials, the changelog entry and SHA256SUMS
#     read back by release_check.py;
#   - without a certificate: unsigned, said in one line.
# scripts/test.sh runs it after the Windows build. Usage: tests/installer/release_test.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/callwright-release.XXXXXX")"
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct)"
export SOURCE_DATE_EPOCH
export CALLWRIGHT_RELEASE_URL="https://downloads.example.org/callwright/v-test"
version="$(sed -n 's/^project(Callwright VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
setup="Callwright-$version-setup.exe"
zip="Callwright-$version-portable.zip"

# A throw-away certificate, named so that no other certificate can pass for it.
subject="Callwright Release Test $$-$RANDOM"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=$subject" \
        -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export CALLWRIGHT_SIGN_PASSWORD="throw-away $RANDOM"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
        -passout env:CALLWRIGHT_SIGN_PASSWORD
export CALLWRIGHT_SIGN_PFX="$work/cert.pfx"

echo "== package (signed) in the checkout"
CALLWRIGHT_DIST="$work/dist-a" "$root/scripts/package.sh" > "$work/a.log" 2>&1 || { cat "$work/a.log"; exit 1; }

echo "== package (signed) from a copy in another folder, built from scratch"
copy="$work/another/place/src"
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
   [ -e "$f" ] && printf '%s\0' "$f"; done | tar --null -T - -cf -) | tar -xf - -C "$copy"
start=$(date +%s)
env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER CCACHE_DISABLE=1 \
    CALLWRIGHT_DIST="$work/dist-b" "$copy/scripts/package.sh" > "$work/b.log" 2>&1 || { cat "$work/b.log"; exit 1; }
echo "   (built in $(( $(date +%s) - start )) s)"

(cd "$work/dist-a" && find . -type f | sort | xargs sha256sum) > "$work/a.sums"
(cd "$work/dist-b" && find . -type f | sort | xargs sha256sum) > "$work/b.sums"
if diff "$work/a.sums" "$work/b.sums"; then
  pass "two builds in two folders give the same $(wc -l < "$work/a.sums") files"
else
  fail "the two builds differ"
fi
program_b="$copy/build/windows/bin/Callwright.exe"
if /usr/bin/python3 - "$program_b" "$copy" "$root" <<'EOF_PY'
import sys
data = open(sys.argv[1], "rb").read()
sys.exit(0 if any(f.encode() in data or f.encode("utf-16-le") in data for f in sys.argv[2:]) else 1)
EOF_PY
then
  fail "Callwright.exe names a build folder ($copy or $root)"
else
  pass "no build folder in Callwright.exe"
fi

echo "== signatures"
/usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("Callwright.exe", sys.argv[2])' \
                 "$work/dist-a/$zip" "$work/from-zip"
# The setup installs into a fresh Wine prefix; its program and uninstaller are checked there.
(
  source "$root/scripts/wine-env.sh"
  wine_env_start "$copy/build/windows" "$work/wineprefix"
  # Wine quotes an argument with a space, and NSIS takes /D= only unquoted.
  wine "$work/dist-a/$setup" /S '/D=C:\CallwrightRelease' >/dev/null 2>&1
)
installed="$work/wineprefix/drive_c/CallwrightRelease"
verify() { osslsigncode verify -in "$1" -CAfile "$work/cert.pem" > "$work/verify.log" 2>&1; }
for file in "$work/dist-a/$setup" "$work/from-zip/Callwright.exe" "$installed/Callwright.exe" "$installed/uninstall.exe"; do
  name="${file#"$work"/}"
  if [ ! -f "$file" ]; then fail "no $name"; continue; fi
  if verify "$file" && grep -q "Subject: /CN=$subject" "$work/verify.log" \
     && grep -Eq "Message digest algorithm *: SHA256" "$work/verify.log"; then
    pass "$name is signed (SHA-256) by the test certificate"
  else
    fail "$name carries no valid signature by the test certificate"; cat "$work/verify.log"
  fi
  # One byte changed a third of the way in, well inside what the signature covers.
  cp "$file" "$work/tampered.exe"
  offset=$(( $(stat -c %s "$file") / 3 ))
  byte=$(od -An -tu1 -j "$offset" -N1 "$work/tampered.exe" | tr -d ' ')
  printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
  if verify "$work/tampered.exe"; then fail "$name with one byte changed still verifies"; else pass "$name with one byte changed fails"; fi
done
cmp -s "$installed/Callwright.exe" "$work/from-zip/Callwright.exe" || fail "the setup and the zip hold different programs"

echo "== manifests, bill of materials, checksums"
cache="$root/build/windows/CMakeCache.txt"
png_include="$(sed -n 's/^PNG_PNG_INCLUDE_DIR:PATH=//p' "$cache")"
zlib_include="$(sed -n 's/^ZLIB_INCLUDE_DIR:PATH=//p' "$cache")"
/usr/bin/python3 "$here/release_check.py" --dist "$work/dist-a" --version "$version" \
    --release-url "$CALLWRIGHT_RELEASE_URL" --changelog "$root/CHANGELOG.md" \
    --header "libpng=$png_include/png.h" --header "zlib=$zlib_include/zlib.h" || fail "release_check.py"

echo "== package without a certificate"
env -u CALLWRIGHT_SIGN_PFX -u CALLWRIGHT_SIGN_PASSWORD CALLWRIGHT_DIST="$work/dist-u" \
    "$root/scripts/package.sh" > "$work/u.log" 2>&1 || { cat "$work/u.log"; exit 1; }
notes=$(grep -c "not signed" "$work/u.log" || true)
[ "$notes" = 1 ] && pass "an unsigned build says so in one line" || fail "an unsigned build said 'not signed' $notes times"
if osslsigncode verify -in "$work/dist-u/$setup" -CAfile "$work/cert.pem" >/dev/null 2>&1; then
  fail "the unsigned setup verifies"
fi
grep -q "not signed" "$work/a.log" && fail "a signed build says it is not signed"

if [ "$failures" -gt 0 ]; then
  echo "release test: $failures failures"
  exit 1
fi
echo "release test: all passed"
