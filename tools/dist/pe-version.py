#!/usr/bin/env python3
"""Prints the version block of Windows programs and libraries: `FILE fixed=a.b.c.d text=...` per file, or
`FILE none` without one. Reads the fixed file-info structure (signature 0xFEEF04BD, right after the
VS_VERSION_INFO key) and the FileVersion string of the resource, so a release can check every file
against the project's version."""
import struct
import sys

KEY = "FileVersion".encode("utf-16-le") + b"\0\0"
ROOT = "VS_VERSION_INFO".encode("utf-16-le") + b"\0\0"
SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def fixed_info(data):
    """Offset of the fixed file-info structure of the version resource, or -1."""
    start = 0
    while True:
        k = data.find(ROOT, start)
        if k < 0:
            return -1
        v = k + len(ROOT)
        v += (-v) % 4  # the value is aligned on 32 bits
        if data[v:v + 4] == SIGNATURE:
            return v
        start = k + 2

for path in sys.argv[1:]:
    data = open(path, "rb").read()
    at = fixed_info(data)
    if at < 0:
        print(f"{path} none")
        continue
    ms, ls = struct.unpack_from("<II", data, at + 8)
    fixed = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    text = ""
    k = data.find(KEY, at)
    if k >= 0:
        v = k + len(KEY)
        v += (-v) % 4  # the value is aligned on 32 bits
        end = v
        while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
            end += 2
        text = data[v:end].decode("utf-16-le", "replace")
    print(f"{path} fixed={fixed} text={text}")
