#!/usr/bin/env python3
"""Checks a launcher image: "MZ" at 0, "PE" at 256, DOS header bytes
248..255 free for StoredPackEnd, imports from system DLLs only, and none of
the functions that Windows XP lacks but compiler runtimes like to bind at
load time (the POSIX thread library's GetTickCount64 once kept the launcher
from starting there)."""
import struct
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
    "shell32.dll", "version.dll", "ole32.dll", "msvcrt.dll", "comdlg32.dll",
    "wininet.dll", "shfolder.dll", "psapi.dll", "oleaut32.dll", "shlwapi.dll",
}

# Newer than Windows XP; the launcher binds such functions at run time.
NEWER_THAN_XP = {
    "GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive",
    "AcquireSRWLockShared", "InitializeConditionVariable",
    "SleepConditionVariableCS", "WakeConditionVariable", "InitOnceExecuteOnce",
    "FlsAlloc", "FlsGetValue", "FlsSetValue", "GetThreadId",
    "GetFileInformationByHandleEx", "CreateSymbolicLinkA",
    "GetFinalPathNameByHandleA", "SetDefaultDllDirectories",
    "InitializeCriticalSectionEx", "CreateEventExA", "GetLocaleInfoEx",
}


def imported_functions(objdump_text):
    names = set()
    for line in objdump_text.splitlines():
        fields = line.split()
        if len(fields) == 3 and all(c in "0123456789abcdef" for c in fields[0]):
            names.add(fields[2])
    return names


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
    newer = sorted(imported_functions(out) & NEWER_THAN_XP)
    if newer:
        errors.append("imports functions that Windows XP lacks: " + ", ".join(newer))
    for e in errors:
        print(f"{path}: {e}")
    if not errors:
        print(f"{path}: layout ok; imports {', '.join(sorted(dlls))}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
