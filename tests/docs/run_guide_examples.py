#!/usr/bin/env python3
"""Runs the worked example of a guide page: every fenced ```sh block of the
page, in order, as one bash script (-euo pipefail) in a new empty folder,
with the given pkgtool first on PATH.

    run_guide_examples.py PAGE.md PKGTOOL

Exit 0 when the script succeeds; otherwise its exit code, with the script's
output. A page without a ```sh block is an error: its example would be lost.
"""
import os
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```sh\s*\n(.*?)^```\s*$", re.M | re.S)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    page, pkgtool = sys.argv[1], os.path.abspath(sys.argv[2])
    with open(page, encoding="utf-8") as f:
        blocks = FENCE.findall(f.read())
    if not blocks:
        print(f"{page}: no ```sh block", file=sys.stderr)
        return 2
    if not os.access(pkgtool, os.X_OK):
        print(f"no pkgtool at {pkgtool}", file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory(prefix="guide-") as work:
        bin_dir = os.path.join(work, ".bin")
        os.mkdir(bin_dir)
        os.symlink(pkgtool, os.path.join(bin_dir, "pkgtool"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), TZ="UTC", LANG="C")
        env.pop("SOURCE_DATE_EPOCH", None)
        script = "set -euo pipefail\n" + "\n".join(blocks)
        run = subprocess.run(["bash", "-c", script], cwd=work, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True)
        if run.returncode != 0:
            print(run.stdout)
            print(f"{page}: example failed with exit code {run.returncode}", file=sys.stderr)
        return run.returncode


if __name__ == "__main__":
    sys.exit(main())
