#!/usr/bin/env bash
# Runs the CTest tests of a Windows build folder under Wine: ctest-wine.sh <build folder> [ctest args]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1"; shift
source "$here/wine-env.sh"
wine_env_start "$build"
# A hung test must not eat the whole CI budget.
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
