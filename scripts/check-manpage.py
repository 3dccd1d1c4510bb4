#!/usr/bin/python3
"""Checks docs/vltrx.1: groff and man render it without a single warning, and
it names every switch that app/CommandLine.cpp recognises.
Usage: check-manpage.py <source root>"""
import os
import re
import subprocess
import sys

root = sys.argv[1]
page = os.path.join(root, "docs", "vltrx.1")
problems = []

for command in (["groff", "-man", "-Tutf8", "-ww", "-z", page],
                ["man", "--warnings=w", "-E", "UTF-8", "-l", page]):
    r = subprocess.run(command, capture_output=True, text=True,
                       env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0", MANPAGER="cat", PAGER="cat"))
    if r.returncode != 0 or r.stderr.strip():
        problems.append(f"{' '.join(command[:1])}: exit {r.returncode}: {r.stderr.strip()}")

text = subprocess.run(["groff", "-man", "-Tascii", "-P-cbou", page], capture_output=True, text=True).stdout
text = re.sub(r"-\n\s*", "-", text)  # a switch hyphenated at a line end
source = open(os.path.join(root, "app", "CommandLine.cpp"), encoding="utf-8").read()
switches = sorted(set(re.findall(r'"(-[a-z][a-zA-Z:,]*)"', source)))
missing = [s for s in switches if s not in text]
if missing:
    problems.append("switches not in the manual page: " + " ".join(missing))

for p in problems:
    print(p)
if problems:
    sys.exit(1)
print(f"vltrx.1: no warnings, {len(switches)} switches named")
