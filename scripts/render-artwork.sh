#!/usr/bin/env bash
# Redraws every picture in src/assets from the generator in src/assets/src (Python 3 only).
# The PNG files and Callwright.ico are committed; the build never runs this.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
python3 "$root/src/assets/src/artwork.py" "$root/src/assets"
