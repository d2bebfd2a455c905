#!/usr/bin/env python3
"""Checks the include direction of src/: every folder includes only itself
and the folders before it in LAYERS, so no folder depends on a later one and
no two folders depend on each other. Fails on an unknown folder too."""
import pathlib
import re
import sys

LAYERS = ["base", "package", "lang", "ui", "process", "net", "setup", "autoupdate", "stub"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"', re.M)


def main(src):
    rank = {name: i for i, name in enumerate(LAYERS)}
    errors = []
    edges = set()
    for folder in sorted(p for p in pathlib.Path(src).iterdir() if p.is_dir()):
        if folder.name not in rank:
            errors.append(f"{folder.name}/: a folder outside the layer order {LAYERS}")
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc"):
                continue
            for target in INCLUDE.findall(path.read_text(errors="replace")):
                if target == folder.name:
                    continue
                edges.add((folder.name, target))
                if target not in rank:
                    errors.append(f"{path.relative_to(src)}: includes {target}/, which is not a layer")
                elif rank[target] > rank[folder.name]:
                    errors.append(f"{path.relative_to(src)}: includes {target}/, a later layer than {folder.name}/")
    for a, b in sorted(edges):
        if (b, a) in edges and a < b:
            errors.append(f"cycle: {a}/ and {b}/ include each other")
    for e in errors:
        print(e)
    if not errors:
        print(f"layering ok: {len(edges)} folder dependencies, all pointing down {' -> '.join(LAYERS)}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
