#!/usr/bin/env python3
"""The transcript runner on two small docs: one whose transcript is up to
date must pass, one whose transcript has gone stale must fail and show where
and what differs.

    transcripts_selftest.py SOURCE_DIR
"""

import subprocess
import sys
from pathlib import Path

source = Path(sys.argv[1])
here = source / "tests" / "docs"
runner = [sys.executable, str(here / "run_transcripts.py"), "--source", str(source)]
faults = []


def run(doc):
    result = subprocess.run(runner + [str(here / "fixtures" / doc)], capture_output=True, text=True)
    return result.returncode, result.stdout + result.stderr


code, output = run("good.md")
if code != 0:
    faults.append(f"good.md: exit code {code}, expected 0")

code, output = run("stale.md")
expected = [
    # the doc, the command's line and the command
    "tests/docs/fixtures/stale.md:6: transcript (block at line 3) differs",
    "  $ printf 'one\\ntwo\\nthree\\n'",
    # the diff: only the line that changed
    "  -2",
    "  +two",
    # a glob line that does not match
    "tests/docs/fixtures/stale.md:10:",
    "  -sys.dat.????????-??????.bak (glob)",
    "  +sys.dat.bak",
    # a glob line that matches stays out of the diff of its command
    "tests/docs/fixtures/stale.md:17: transcript (block at line 16) differs",
    "   sys.dat.????????-??????.bak (glob)\n  -old\n  +new",
    "3 command(s) in 2 transcript(s) printed something else",
]
if code != 1:
    faults.append(f"stale.md: exit code {code}, expected 1")
for text in expected:
    if text not in output:
        faults.append(f"stale.md: the report lacks {text!r}")
if "stale.md:4:" in output or "  +one" in output:
    faults.append("stale.md: the report shows commands or lines that matched")

if faults:
    print(output)
    print("\n".join(faults))
    sys.exit(1)
