#!/usr/bin/env python3
"""Whether Wine can map an image's resource section lazily: only a section
whose file offset and address agree modulo the page size is mapped from the
file; any other is read whole when the image is loaded.

    pe_sections.py --resource-lazy FILE.exe     prints 1 or 0
"""

import struct
import sys


def sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    for i in range(count):
        at = table + 40 * i
        name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
        _, address, size, offset = struct.unpack_from("<IIII", data, at + 8)
        yield name, address, size, offset


def main():
    if len(sys.argv) != 3 or sys.argv[1] != "--resource-lazy":
        sys.exit(__doc__)
    with open(sys.argv[2], "rb") as f:
        data = f.read()
    for name, address, _, offset in sections(data):
        if name == ".rsrc":
            print(1 if address % 4096 == offset % 4096 else 0)
            return
    print(0)


if __name__ == "__main__":
    main()
