#!/usr/bin/env python3
"""Fails when the launcher image is larger than its limit: every package and
every web-installer download carries it.
  check_size.py IMAGE LIMIT_BYTES"""
import os
import sys


def main(path, limit):
    size = os.path.getsize(path)
    print(f"{os.path.basename(path)}: {size} bytes ({size / 1024:.0f} KiB), limit {limit} bytes")
    if size > limit:
        print(f"the launcher grew past its limit by {size - limit} bytes")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2])))
