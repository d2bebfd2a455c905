#!/usr/bin/env python3
"""Checks a launcher image: "MZ" at 0, "PE" at 256, DOS header bytes
248..255 free for StoredPackEnd, and imports from system DLLs only."""
import struct
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
    "shell32.dll", "version.dll", "ole32.dll", "msvcrt.dll", "comdlg32.dll",
    "wininet.dll", "shfolder.dll", "psapi.dll", "oleaut32.dll", "shlwapi.dll",
}


def main(path, objdump):
    data = open(path, "rb").read(512)
    errors = []
    if data[:2] != b"MZ":
        errors.append("no MZ at offset 0")
    if data[256:260] != b"PE\0\0":
        errors.append("no PE signature at offset 256")
    if struct.unpack_from("<I", data, 0x3C)[0] != 256:
        errors.append("e_lfanew is not 256")
    if any(data[248:256]):
        errors.append("DOS header bytes 248..255 are not free")
    out = subprocess.run([objdump, "-p", path], capture_output=True,
                         text=True, check=True).stdout
    dlls = {line.split(":", 1)[1].strip().lower()
            for line in out.splitlines() if "DLL Name:" in line}
    foreign = sorted(dlls - SYSTEM_DLLS)
    if foreign:
        errors.append("imports non-system DLLs: " + ", ".join(foreign))
    for e in errors:
        print(f"{path}: {e}")
    if not errors:
        print(f"{path}: layout ok; imports {', '.join(sorted(dlls))}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
