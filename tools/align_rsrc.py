#!/usr/bin/env python3
"""Moves the resource section of a PE file to a 4 KiB file offset, in place.

Wine maps an image section straight from the file only when its file offset is page aligned; otherwise
it reads the whole section into private memory while the program starts. Setup.exe's resources hold the
10.9 MB payload, so their offset matters; the other sections are a few KB each. Linking everything with
--file-alignment 0x1000 would do the same at the cost of up to 4 KiB of padding per section.

The raw data of .rsrc and of everything after it moves up by the padding; section headers (and the COFF
symbol table pointer, in unstripped builds) follow. Virtual addresses do not change, so nothing inside
the image needs fixing.

usage: align_rsrc.py PE_FILE
"""
import struct
import sys

PAGE = 0x1000


def main(path):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"align_rsrc: {path} is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    table = pe + 24 + optional_size
    headers = [table + 40 * i for i in range(sections)]
    rsrc = [h for h in headers if image[h:h + 8].rstrip(b"\0") == b".rsrc"]
    if len(rsrc) != 1:
        sys.exit(f"align_rsrc: {path} has no single .rsrc section")
    start = struct.unpack_from("<I", image, rsrc[0] + 20)[0]
    padding = -start % PAGE
    if padding == 0:
        return
    image[start:start] = bytes(padding)
    for header in headers:
        raw = struct.unpack_from("<I", image, header + 20)[0]
        if raw >= start:
            struct.pack_into("<I", image, header + 20, raw + padding)
    symbols = struct.unpack_from("<I", image, pe + 12)[0]
    if symbols >= start:
        struct.pack_into("<I", image, pe + 12, symbols + padding)
    with open(path, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1])
