#!/usr/bin/env python3
"""Bytes of a linked program by where they come from, read from the GNU linker's map (-Wl,-Map).

    scripts/exe-shares.py <map> [--objects LIB] [--codecs REGEX] [--exe EXE --setup SETUP]

Prints, for each library (or our own object files), the bytes of the loaded sections (code,
read-only and initialised data, unwind tables, resources) it contributes, largest first; then the
program's total less the audio codec libraries (names matching --codecs) and the runtime members
they pulled into the link first (printf, strtod), which is the size that the executable's size
target is about. --objects LIB lists the members of that one library instead (in a release build,
whose own code is optimised as a whole at the link, only for the libraries of others).
Section padding and the headers are not counted, so the sum is a little below the file size.
With --exe and --setup, also the codecs' share of the setup: the setup compresses the program with
LZMA, so the share is what LZMA saves on the program when the codecs' bytes are blanked out.
"""
import argparse
import lzma
import os
import re
import struct
import sys
from collections import defaultdict

LOADED = re.compile(r"^\.(text|rdata|data|pdata|xdata|rsrc|CRT|tls|idata|edata|reloc)\b")
ENTRY = re.compile(r"^ (\.\S+)?\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
DEFAULT_CODECS = r"opus|vorbis|ogg|lame|mp3|flac|speex|mpg123|sndfile|faac|fdk|aac"


def contributions(path):
    """(section, address, size, input file) of every input section in the map's memory map."""
    with open(path, encoding="utf-8", errors="replace") as handle:
        lines = handle.read().splitlines()
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        sys.exit(f"{path}: no memory map")
    pending = None  # a section name alone on its line: its address and size follow on the next
    for line in lines[start:]:
        if re.match(r"^ \.\S+$", line):
            pending = line.strip()
            continue
        match = ENTRY.match(line)
        if match:
            section = match.group(1) or pending
            pending = None
            if section and LOADED.match(section):
                yield section, int(match.group(2), 16), int(match.group(3), 16), match.group(4).strip()
        else:
            pending = None


def inclusions(path):
    """Archive member -> the input file whose reference first pulled it into the link."""
    with open(path, encoding="utf-8", errors="replace") as handle:
        lines = handle.read().splitlines()
    pulled_by = {}
    try:
        start = lines.index("Archive member included to satisfy reference by file (symbol)") + 1
    except ValueError:
        return pulled_by
    member = None
    for line in lines[start:]:
        if not line.strip():
            if pulled_by:
                member = None
            continue
        if not line.startswith(" "):
            if " " in line.strip() or line.startswith("Discarded") or line.startswith("Memory"):
                break
            member = line.strip()
        elif member:
            pulled_by[member] = line.strip().split(" (")[0]
            member = None
    return pulled_by


def split(source):
    """Library and member of an input file: "lib.a(member.o)" or an object of its own. The objects
    that a link-time optimisation writes hold Callwright's own code, whichever library it was in."""
    match = re.match(r"^(.*?)\((.*)\)$", source)
    if match:
        return os.path.basename(match.group(1)), match.group(2)
    if re.search(r"\.ltrans\d*\.ltrans\.o$", source):
        return "(Callwright, optimised whole)", os.path.basename(source)
    return "(objects)", os.path.basename(source)


def file_ranges(exe):
    """(address, size, file offset) of each section of a PE image, addresses absolute."""
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    image_base = struct.unpack_from("<Q", data, pe + 24 + 24)[0]
    table = pe + 24 + optional_size
    for i in range(sections):
        virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        yield image_base + address, min(virtual_size, raw_size), raw_offset


def packed_size(data):
    # As the setup packs it: LZMA with an 8 MB dictionary.
    filters = [{"id": lzma.FILTER_LZMA1, "preset": 9 | lzma.PRESET_EXTREME, "dict_size": 8 << 20}]
    return len(lzma.compress(data, format=lzma.FORMAT_ALONE, filters=filters))


def setup_share(exe, blanks):
    """Bytes the setup spends on the blanked address ranges of the program."""
    data = bytearray(open(exe, "rb").read())
    ranges = list(file_ranges(exe))
    for address, size in blanks:
        for start, length, offset in ranges:
            if start <= address < start + length:
                begin = offset + address - start
                data[begin:begin + min(size, start + length - address)] = bytes(min(size, start + length - address))
                break
    return packed_size(open(exe, "rb").read()) - packed_size(bytes(data))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("map")
    parser.add_argument("--objects", help="list the members of this library (e.g. libstdc++.a)")
    parser.add_argument("--codecs", default=DEFAULT_CODECS, help="regular expression of the codec libraries")
    parser.add_argument("--top", type=int, default=25)
    parser.add_argument("--exe", help="the linked program, for the codecs' share of the setup")
    parser.add_argument("--setup", help="the setup made from it")
    args = parser.parse_args()

    codecs = re.compile(args.codecs, re.IGNORECASE)
    pulled_by = inclusions(args.map)

    def pulled_in_by_codecs(source):
        """A runtime member that is in the link because a codec library asked for it first."""
        seen = set()
        while source in pulled_by and source not in seen:
            seen.add(source)
            source = pulled_by[source]
            if codecs.search(split(source)[0]):
                return True
        return False

    by_library = defaultdict(int)
    by_member = defaultdict(int)
    codec_runtime = 0
    total = 0
    blanks = []  # the codecs' address ranges
    for section, address, size, source in contributions(args.map):
        library, member = split(source)
        if codecs.search(library):
            blanks.append((address, size))
        elif pulled_in_by_codecs(source):
            codec_runtime += size
            blanks.append((address, size))
        if section.startswith(".rsrc"):
            library = "(resources)"
        by_library[library] += size
        if args.objects and library == args.objects:
            by_member[member] += size
        total += size

    if args.objects:
        rows = sorted(by_member.items(), key=lambda item: -item[1])[: args.top]
        print(f"  {args.objects}: {by_library.get(args.objects, 0):,} bytes, largest members:")
        for member, size in rows:
            print(f"    {size:>10,}  {member}")
        return
    codec_bytes = sum(size for library, size in by_library.items() if codecs.search(library)) + codec_runtime
    for library, size in sorted(by_library.items(), key=lambda item: -item[1]):
        if size >= 1024:
            mark = "  (audio codec)" if codecs.search(library) else ""
            print(f"    {size:>10,}  {library}{mark}")
    if codec_runtime:
        print(f"  of those, {codec_runtime:,} bytes of the C and C++ runtimes are there because the codecs asked for them first")
    print(f"  loaded sections {total:,} bytes; audio codec libraries {codec_bytes:,} bytes; "
          f"without them {total - codec_bytes:,} bytes")
    if args.exe and args.setup:
        share = setup_share(args.exe, blanks)
        setup = os.path.getsize(args.setup)
        print(f"  setup {setup:,} bytes; the audio codec libraries' share about {share:,} bytes; "
              f"without them about {setup - share:,} bytes")


if __name__ == "__main__":
    main()
