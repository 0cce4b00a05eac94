#!/usr/bin/env bash
# Runs a Windows program in a Wine prefix made afresh for this run (the folder is emptied first):
#   wine-fresh-prefix.sh <prefix folder> <program.exe> [arguments]
# The setup tests use it: they need a machine on which nothing was installed before.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="$1"; exe="$2"; shift 2
# Only ever empties a folder named like a prefix, given as a full path.
case "$prefix" in
  /*/wineprefix*) ;;
  *) echo "wine-fresh-prefix.sh: refusing prefix folder '$prefix'" >&2; exit 2 ;;
esac
rm -rf "$prefix"
mkdir -p "$prefix"
source "$here/wine-env.sh"
wine_env_start "$(dirname "$exe")/.." "$prefix"
wine "$exe" "$@"
