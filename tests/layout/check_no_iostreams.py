#!/usr/bin/env python3
"""Fails when code that the launcher links writes through the standard
streams or includes them: diagnostics go through DebugOut(), and any iostream
use brings the iostream and locale machinery back into the launcher image.
Files ending in _posix.cpp never reach the launcher and are not checked."""
import pathlib
import re
import sys

FORBIDDEN = re.compile(
    r"std::(cout|cerr|clog|endl|ostream|istream|ostringstream|istringstream|stringstream|"
    r"ifstream|ofstream|fstream)\b|#\s*include\s*<(iostream|ostream|istream|sstream|fstream|iomanip)>")


def main(src):
    errors = []
    for path in sorted(pathlib.Path(src).rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.name.endswith("_posix.cpp"):
            continue
        for no, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            code = line.split("//", 1)[0]
            m = FORBIDDEN.search(code)
            if m:
                errors.append(f"{path.relative_to(src)}:{no}: {m.group(0)} (write diagnostics with DebugOut())")
    for e in errors:
        print(e)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
