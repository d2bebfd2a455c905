#!/usr/bin/env python3
"""Move the NT headers of a PE image to offset 0x100.

The package format keeps its StoredPackEnd in the DOS header at 0xF8..0xFF
and expects "PE" at 0x100. The mingw linker puts the NT headers at 0x80, so
after linking we slide the NT headers and the section table up by 0x80
bytes, point e_lfanew at them and clear what they leave behind.
"""
import struct
import sys

TARGET = 0x100


def fail(msg):
    sys.exit(f"move_pe_header: {msg}")


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if len(data) < 0x200 or data[0:2] != b"MZ":
        fail(f"{path}: not an MZ image")
    lfanew = struct.unpack_from("<I", data, 0x3C)[0]
    if data[lfanew:lfanew + 4] != b"PE\0\0":
        fail(f"{path}: no PE signature at e_lfanew {lfanew:#x}")
    if lfanew == TARGET:
        return  # already moved (re-run of the step)
    if lfanew > TARGET:
        fail(f"{path}: NT headers at {lfanew:#x}, beyond {TARGET:#x}")
    sections = struct.unpack_from("<H", data, lfanew + 6)[0]
    opt_size = struct.unpack_from("<H", data, lfanew + 20)[0]
    hdr_len = 4 + 20 + opt_size + 40 * sections
    opt = lfanew + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic not in (0x10B, 0x20B):
        fail(f"{path}: unknown optional header magic {magic:#x}")
    size_of_headers = struct.unpack_from("<I", data, opt + 60)[0]
    sec_table = opt + opt_size
    first_raw = min(
        (struct.unpack_from("<I", data, sec_table + 40 * i + 20)[0]
         for i in range(sections)
         if struct.unpack_from("<I", data, sec_table + 40 * i + 16)[0] > 0),
        default=size_of_headers)
    limit = min(size_of_headers, first_raw)
    if TARGET + hdr_len > limit:
        fail(f"{path}: headers ({hdr_len} bytes) do not fit below {limit:#x} "
             f"when moved to {TARGET:#x}")
    block = bytes(data[lfanew:lfanew + hdr_len])
    data[lfanew:TARGET + hdr_len] = bytes(TARGET + hdr_len - lfanew)
    data[TARGET:TARGET + hdr_len] = block
    struct.pack_into("<I", data, 0x3C, TARGET)
    tmp = path + ".moving"
    with open(tmp, "wb") as f:
        f.write(data)
    import os
    os.replace(tmp, path)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        fail("usage: move_pe_header.py IMAGE")
    main(sys.argv[1])
