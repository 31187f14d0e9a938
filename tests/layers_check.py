#!/usr/bin/env python3
"""No two of the project's object files depend on each other both ways: the
block engines below the file drivers, the drivers below the programs, the
platform below them all. Reads the objects' symbols with nm.
    tests/layers_check.py BUILD_DIR"""
import glob
import subprocess
import sys


def symbols(obj, flag):
    out = subprocess.run(["nm", flag, obj], capture_output=True, text=True, check=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.strip()}


build = sys.argv[1]
objs = [o for o in glob.glob(build + "/CMakeFiles/*.dir/**/*.o", recursive=True) if "CompilerId" not in o]
defined = {o: symbols(o, "--defined-only") for o in objs}
undefined = {o: symbols(o, "-u") for o in objs}
uses = {a: {b for b in objs if a != b and undefined[a] & defined[b]} for a in objs}
both = sorted({tuple(sorted((a, b))) for a in objs for b in uses[a] if a in uses[b]})
for a, b in both:
    print("each uses the other:", a, b)
print("layers: %d objects, %d pairs that use each other" % (len(objs), len(both)))
sys.exit(1 if both or not objs else 0)
