#!/usr/bin/env python3
"""Runs the worked example of a docs page: every ```sh block, in order, as one
bash script (-e, pipefail) in a fresh folder, so that the commands a reader
copies keep working.

usage: run_doc_example.py PAGE.md FOLDER [--copy FILE]... [--tool NAME=COMMAND]...
  --copy FILE          put FILE into the folder first (e.g. launcher.exe)
  --tool NAME=COMMAND  make NAME on the PATH run COMMAND with its arguments,
                       its output without carriage returns
                       (e.g. pkgtool=".../wine-run .../pkgtool.exe")
"""
import os
import re
import shutil
import stat
import subprocess
import sys


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    page, folder, rest = argv[1], argv[2], argv[3:]
    blocks = re.findall(r"^```sh\n(.*?)^```", open(page, encoding="utf-8").read(), re.M | re.S)
    if not blocks:
        print(f"{page}: no ```sh block", file=sys.stderr)
        return 2
    shutil.rmtree(folder, ignore_errors=True)
    bin_dir = os.path.join(folder, ".bin")
    os.makedirs(bin_dir)
    while rest:
        option, value, rest = rest[0], rest[1], rest[2:]
        if option == "--copy":
            shutil.copy(value, folder)
        elif option == "--tool":
            name, command = value.split("=", 1)
            tool = os.path.join(bin_dir, name)
            with open(tool, "w") as f:
                # Windows programs under Wine end their lines with "\r\n".
                f.write(f'#!/bin/bash\nset -o pipefail\n{command} "$@" | tr -d "\\r"\n')
            os.chmod(tool, os.stat(tool).st_mode | stat.S_IEXEC)
        else:
            print(f"unknown option {option}", file=sys.stderr)
            return 2
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
    script = "set -e -o pipefail -x\n" + "\n".join(blocks)
    return subprocess.run(["bash", "-c", script], cwd=folder, env=env).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
