#!/usr/bin/env python3
"""Exits 0 when this kernel runs 32-bit (i386) Linux programs, else 1.

Writes a minimal static i386 ELF program that exits with code 42 and runs it:
kernels built or booted without 32-bit emulation refuse to start it, and so
would they refuse 32-bit Wine. An optional argument names the folder for
the probe (a noexec /tmp would look like a kernel without 32-bit support).
"""
import os
import struct
import subprocess
import sys
import tempfile

code = bytes([0xB8, 1, 0, 0, 0, 0xBB, 42, 0, 0, 0, 0xCD, 0x80])  # exit(42)
base, hdr = 0x08048000, 52 + 32
elf = b"\x7fELF\x01\x01\x01" + bytes(9)
elf += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + hdr, 52, 0, 0, 52, 32, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, hdr + len(code), hdr + len(code), 5, 0x1000)

fd, probe = tempfile.mkstemp(prefix="vel-32bit-", dir=sys.argv[1] if len(sys.argv) > 1 else None)
try:
    with os.fdopen(fd, "wb") as f:
        f.write(elf + code)
    os.chmod(probe, 0o700)
    try:
        rc = subprocess.run([probe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            timeout=10).returncode
    except (OSError, subprocess.TimeoutExpired):
        rc = -1
finally:
    os.unlink(probe)
sys.exit(0 if rc == 42 else 1)
