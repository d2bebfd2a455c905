#!/usr/bin/env python3
"""Reads the application manifest back from a launcher image: an RT_MANIFEST
resource with id 1 whose compatibility section names exactly Windows Vista,
7, 8 and 8.1, and no requestedExecutionLevel (nor any trustInfo), so that the
32-bit launcher keeps file and registry virtualisation and Windows' installer
detection."""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
IMAGE_DIRECTORY_ENTRY_RESOURCE = 2

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
COMPAT_V1 = "urn:schemas-microsoft-com:compatibility.v1"

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
}


class ImageError(Exception):
    pass


def unpack(fmt, data, offset):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise ImageError(f"read of {struct.calcsize(fmt)} bytes at {offset:#x} "
                         f"runs past the end of the file")
    return struct.unpack_from(fmt, data, offset)


class PeImage:
    """The parts of a PE image needed to reach its resources."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ImageError("no MZ at offset 0")
        nt = unpack("<I", data, 0x3C)[0]
        if data[nt:nt + 4] != b"PE\0\0":
            raise ImageError(f"no PE signature at e_lfanew {nt:#x}")
        sections, opt_size = unpack("<2xH12xH", data, nt + 4)
        opt = nt + 24
        magic = unpack("<H", data, opt)[0]
        if magic == 0x10B:      # PE32
            count_at, dirs_at = opt + 92, opt + 96
        elif magic == 0x20B:    # PE32+
            count_at, dirs_at = opt + 108, opt + 112
        else:
            raise ImageError(f"unknown optional header magic {magic:#x}")
        self.dir_count = unpack("<I", data, count_at)[0]
        self.dirs_at = dirs_at
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            name, vsize, va, raw_size, raw_ptr = unpack(
                "<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"),
                                  va, max(vsize, raw_size), raw_size, raw_ptr))

    def directory(self, index):
        if index >= self.dir_count:
            return 0, 0
        return unpack("<II", self.data, self.dirs_at + 8 * index)

    def offset_of(self, rva, size):
        """File offset of size bytes at rva; they must lie in one section's
        raw data."""
        for name, va, span, raw_size, raw_ptr in self.sections:
            if va <= rva < va + span:
                if rva + size > va + raw_size:
                    raise ImageError(f"{size} bytes at RVA {rva:#x} run past "
                                     f"the raw data of section {name}")
                return raw_ptr + (rva - va)
        raise ImageError(f"RVA {rva:#x} lies in no section")


def resources(image):
    """All resources as (type, name, language, data); ids are ints, named
    entries strings."""
    rva, size = image.directory(IMAGE_DIRECTORY_ENTRY_RESOURCE)
    if rva == 0 or size == 0:
        return []
    base = image.offset_of(rva, 16)
    data = image.data
    seen = set()

    def entries(offset):
        if offset in seen:
            raise ImageError(f"resource directory at {offset:#x} is reached twice")
        seen.add(offset)
        named, ids = unpack("<12xHH", data, base + offset)
        for i in range(named + ids):
            name, target = unpack("<II", data, base + offset + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = unpack("<H", data, at)[0]
                key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            else:
                key = name & 0xFFFF
            yield key, bool(target & 0x80000000), target & 0x7FFFFFFF

    found = []
    for rtype, is_dir, types_at in entries(0):
        if not is_dir:
            raise ImageError(f"resource type {rtype} is a leaf, not a directory")
        for rname, is_dir, names_at in entries(types_at):
            if not is_dir:
                raise ImageError(f"resource {rtype}/{rname} is a leaf, not a directory")
            for lang, is_dir, leaf_at in entries(names_at):
                if is_dir:
                    raise ImageError(f"resource {rtype}/{rname}/{lang} nests deeper")
                data_rva, data_size = unpack("<II", data, base + leaf_at)
                at = image.offset_of(data_rva, data_size)
                found.append((rtype, rname, lang, data[at:at + data_size]))
    return found


def local(tag):
    return tag.rsplit("}", 1)[-1]


def check_manifest(text):
    errors = []
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return [f"manifest is no well-formed XML: {e}"]
    if root.tag != f"{{{ASM_V1}}}assembly":
        errors.append(f"manifest root is {root.tag}, not assembly of {ASM_V1}")
    elif root.get("manifestVersion") != "1.0":
        errors.append("manifest has no manifestVersion=\"1.0\"")

    for e in root.iter():
        if local(e.tag) in ("requestedExecutionLevel", "trustInfo",
                            "requestedPrivileges"):
            errors.append(f"manifest declares {local(e.tag)}: it would turn off "
                          "virtualisation and installer detection")

    path = f"{{{COMPAT_V1}}}compatibility/{{{COMPAT_V1}}}application/{{{COMPAT_V1}}}supportedOS"
    ids = [(e.get("Id") or "").lower() for e in root.findall(path)]
    if not ids:
        errors.append("manifest has no compatibility/application/supportedOS "
                      f"entries in namespace {COMPAT_V1}")
    for dup in sorted({i for i in ids if ids.count(i) > 1}):
        errors.append(f"supportedOS {dup} is listed more than once")
    for extra in sorted(set(ids) - SUPPORTED_OS.keys()):
        errors.append(f"supportedOS {extra} is not one of Vista, 7, 8, 8.1")
    for missing in sorted(SUPPORTED_OS.keys() - set(ids)):
        errors.append(f"supportedOS {missing} ({SUPPORTED_OS[missing]}) is missing")
    # Entries elsewhere in the tree are ignored by Windows: a misplaced one is
    # an error even when the right ones are there too.
    placed = len(ids)
    anywhere = sum(1 for e in root.iter() if local(e.tag) == "supportedOS")
    if anywhere != placed:
        errors.append(f"{anywhere - placed} supportedOS entries sit outside "
                      f"compatibility/application of {COMPAT_V1}")
    return errors


def main(path):
    try:
        image = PeImage(open(path, "rb").read())
        manifests = [r for r in resources(image) if r[0] == RT_MANIFEST]
    except ImageError as e:
        print(f"{path}: {e}")
        return 1
    if not manifests:
        print(f"{path}: no application manifest (no RT_MANIFEST resource)")
        return 1
    errors = []
    names = sorted(str(r[1]) for r in manifests)
    if len(manifests) != 1 or manifests[0][1] != CREATEPROCESS_MANIFEST_RESOURCE_ID:
        errors.append(f"RT_MANIFEST resources {', '.join(names)}: want exactly "
                      f"one, id {CREATEPROCESS_MANIFEST_RESOURCE_ID}")
    for rtype, rname, lang, text in manifests:
        errors += [f"manifest {rname}/{lang}: {e}" for e in check_manifest(text)]
    for e in errors:
        print(f"{path}: {e}")
    if not errors:
        print(f"{path}: manifest ok; supportedOS "
              + ", ".join(SUPPORTED_OS.values()) + "; no requestedExecutionLevel")
    return 1 if errors else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_manifest.py IMAGE")
    sys.exit(main(sys.argv[1]))
