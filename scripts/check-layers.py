#!/usr/bin/env python3
"""Checks that the top-level folders include each other only downwards:

    app  ->  gui  ->  views, dialogs  ->  engine  ->  hosts  ->  settings  ->  platform
    tools  ->  dialogs  ->  engine ...

Each folder may include the folders below it (and itself), never one above it, so that no include
cycle between folders can form. Usage: check-layers.py [--graph] [SOURCE_DIR]; exit 1 with the
offending includes named. With --graph it prints the include graph between the top-level folders
instead: one line per pair, with the number of includes.
"""
import os
import re
import sys

ORDER = ["platform", "settings", "hosts", "engine", "views", "dialogs", "gui", "app", "tools"]
BELOW = {folder: set(ORDER[:i]) for i, folder in enumerate(ORDER)}
# The plain models of the views and the dialogs' rules sit side by side: neither includes the other.
BELOW["dialogs"].discard("views")
# The programs are side by side too; neither includes the other. lumo-cli drives the engine without
# the window's models and widgets.
BELOW["tools"] -= {"app", "gui", "views"}

INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def includes(root):
    """(path, line number, including folder, included path) of every include between the folders."""
    for top in ORDER:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if match and match.group(1).split("/")[0] in BELOW:
                            yield path, number, top, match.group(1)


def main():
    args = sys.argv[1:]
    graph = "--graph" in args
    args = [a for a in args if a != "--graph"]
    root = args[0] if args else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if graph:
        counts = {}
        for _, _, top, included in includes(root):
            target = included.split("/")[0]
            if target != top:
                counts[(top, target)] = counts.get((top, target), 0) + 1
        for (top, target), count in sorted(counts.items(), key=lambda e: (ORDER.index(e[0][0]), e[0][1])):
            upward = "" if target in BELOW[top] else "  (upward)"
            print("%-9s -> %-9s %4d%s" % (top, target, count, upward))
        return 0
    faults = []
    for path, number, top, included in includes(root):
        target = included.split("/")[0]
        if target != top and target not in BELOW[top]:
            faults.append("%s:%d: %s/ may not include %s" % (os.path.relpath(path, root), number, top, included))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
