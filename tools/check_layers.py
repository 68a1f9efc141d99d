#!/usr/bin/env python3
"""Prints the include graph between the system's folders and fails on an include that points up
the layers or on two folders that include each other.

The layers, lowest first; a folder may include its own layer's headers and those of any layer
below it. feed/ and dbf/ share a layer and must not include each other.
    tools/check_layers.py [--quiet]
"""
import os
import re
import sys

LAYERS = [
    ["foundation"],
    ["refdata"],
    ["config"],
    ["market"],
    ["feed", "dbf"],
    ["processor"],
    ["client"],
    ["shell"],
    ["ui"],
]
RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_0-9]+)/')


def main():
    quiet = "--quiet" in sys.argv[1:]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    edges = {}  # (from, to) -> first place seen
    for folder in RANK:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1) in RANK and match.group(1) != folder:
                            where = f"{os.path.relpath(path, root)}:{number}"
                            edges.setdefault((folder, match.group(1)), where)
    faults = []
    for (source, target), where in sorted(edges.items()):
        if RANK[target] > RANK[source]:
            faults.append(f"upward include: {source}/ -> {target}/ at {where}")
        elif RANK[target] == RANK[source]:
            faults.append(f"include within one layer: {source}/ -> {target}/ at {where}")
        if (target, source) in edges and source < target:
            faults.append(f"circular include: {source}/ <-> {target}/")
    if not quiet:
        for folder in sorted(RANK, key=lambda f: (RANK[f], f)):
            below = sorted({t for (s, t) in edges if s == folder}, key=lambda f: (RANK[f], f))
            print(f"{folder:<11}-> {', '.join(below) if below else '(nothing)'}")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
