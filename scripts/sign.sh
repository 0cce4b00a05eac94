#!/usr/bin/env bash
# Signs one Windows program in place with Authenticode (SHA-256): sign.sh <file.exe>
# The certificate and its password come from CALLWRIGHT_SIGN_PFX and CALLWRIGHT_SIGN_PASSWORD;
# CALLWRIGHT_SIGN_TIMESTAMP_URL, when given, names an RFC 3161 time-stamping service, so that the
# signature stays valid after the certificate expires. scripts/package.sh and the setup's build
# (makensis !finalize and !uninstfinalize) call it.
set -euo pipefail
file="$1"
: "${CALLWRIGHT_SIGN_PFX:?sign.sh: CALLWRIGHT_SIGN_PFX names no certificate}"
: "${CALLWRIGHT_SIGN_PASSWORD?sign.sh: CALLWRIGHT_SIGN_PASSWORD is not set}"
args=(sign -pkcs12 "$CALLWRIGHT_SIGN_PFX" -readpass /dev/stdin -h sha256 -n Callwright)
if [ -n "${CALLWRIGHT_SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$CALLWRIGHT_SIGN_TIMESTAMP_URL")
elif [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  # Without a time-stamping service the signing time is only a claim; the commit time keeps two
  # signings of the same build with the same certificate byte-identical.
  args+=(-time "$SOURCE_DATE_EPOCH")
fi
signed="$file.signed"
rm -f "$signed"
# The password goes through a pipe, never on a command line that other users can list.
if ! printf '%s' "$CALLWRIGHT_SIGN_PASSWORD" | osslsigncode "${args[@]}" -in "$file" -out "$signed" >/dev/null; then
  rm -f "$signed"
  echo "sign.sh: signing $file failed" >&2
  exit 1
fi
mv -f "$signed" "$file"
