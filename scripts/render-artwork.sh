#!/usr/bin/env bash
# Redraws every picture in src/assets from the generator in src/assets/src (Python 3), then packs the
# PNGs small, as they are embedded in the executable at four scales: the larger pictures go to a
# 256-colour palette (pngquant, dithered; no visible difference in their gradients), and every PNG,
# the icons' entries too, is recompressed losslessly with zopfli (scripts/pack-png.py). The keyed
# button glyphs keep their exact colours and colour type. The PNG files and the icons are committed;
# the build never runs this.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
assets="$root/src/assets"
for tool in pngquant zopflipng; do
  if ! command -v "$tool" >/dev/null; then
    package=$([ "$tool" = zopflipng ] && echo zopfli || echo "$tool")
    if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null
  fi
done

python3 "$assets/src/artwork.py" "$assets"

for png in "$assets"/*.png "$assets"/*/*.png; do
  name="$(basename "$png")"
  # The button glyphs and the settings header at 100 % are 24-bit pictures by design; the other
  # scales of the header only need to look the same.
  keep=()
  if [[ "$name" == glyph-* || "$png" == "$assets/settings-header.png" ]]; then
    keep=(--keep-type)
  elif [ "$(stat -c %s "$png")" -gt 2048 ]; then
    pngquant --quality=85-100 --speed 1 --skip-if-larger --force --output "$png" "$png" || true
  fi
  python3 "$root/scripts/pack-png.py" "${keep[@]}" "$png"
done
python3 "$root/scripts/pack-png.py" "$assets"/*.ico
