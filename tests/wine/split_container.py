#!/usr/bin/env python3
"""split_container.py CONTAINER DIR: writes each entry of a payload container as
a complete SZDD file DIR/entry<k>.szdd ("SZDD" put back in front of its stream)
and prints k, the entry's FILETIME and its stream length, one line each."""
import os
import struct
import sys


def main():
    data = open(sys.argv[1], "rb").read()
    out = sys.argv[2]
    position, k = 0, 0
    while position + 12 <= len(data):
        time, length = struct.unpack_from("<QI", data, position)
        if length == 0 or position + 12 + length > len(data):
            break
        k += 1
        with open(os.path.join(out, "entry%d.szdd" % k), "wb") as f:
            f.write(b"SZDD" + data[position + 12:position + 12 + length])
        print(k, time, length)
        position += 12 + length


if __name__ == "__main__":
    main()
