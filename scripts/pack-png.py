#!/usr/bin/env python3
"""Recompresses PNG files, and the PNG entries of .ico files, with zopflipng, lossless.

    pack-png.py [--keep-type] FILE...

zopflipng picks the colour type that packs smallest; with --keep-type, and always for icon entries
(32-bit RGBA is the form every Windows version reads in an icon), a result of another colour type or
depth is dropped and the original kept."""
import os
import struct
import subprocess
import sys
import tempfile


def colour_type(png):
    # IHDR comes first: bit depth and colour type follow the width and height.
    return png[24:26]


def zopfli(png, keep_type):
    with tempfile.TemporaryDirectory() as scratch:
        source, target = os.path.join(scratch, "in.png"), os.path.join(scratch, "out.png")
        with open(source, "wb") as f:
            f.write(png)
        subprocess.run(["zopflipng", "-y", "-m", source, target], check=True, stdout=subprocess.DEVNULL)
        # zopflipng writes nothing when it cannot do better.
        if not os.path.exists(target):
            return png
        packed = open(target, "rb").read()
    if len(packed) >= len(png) or (keep_type and colour_type(packed) != colour_type(png)):
        return png
    return packed


def pack_icon(data):
    count = struct.unpack_from("<H", data, 4)[0]
    entries = [struct.unpack_from("<BBBBHHII", data, 6 + 16 * i) for i in range(count)]
    images = [zopfli(data[offset:offset + size], True) for *_, size, offset in entries]
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for (w, h, colours, reserved, planes, bits, _, _), png in zip(entries, images):
        out += struct.pack("<BBBBHHII", w, h, colours, reserved, planes, bits, len(png), offset)
        offset += len(png)
    return out + b"".join(images)


def main(args):
    keep_type = "--keep-type" in args
    for path in (a for a in args if a != "--keep-type"):
        data = open(path, "rb").read()
        packed = pack_icon(data) if path.lower().endswith(".ico") else zopfli(data, keep_type)
        if packed != data:
            with open(path, "wb") as f:
                f.write(packed)


if __name__ == "__main__":
    main(sys.argv[1:])
