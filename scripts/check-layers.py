#!/usr/bin/env python3
"""Checks that the top-level folders include each other only downwards:

    app  ->  gui  ->  views, dialogs  ->  engine  ->  hosts  ->  settings  ->  platform
    tools  ->  dialogs  ->  engine ...

Each folder may include the folders below it (and itself), never one above it, so that no include
cycle between folders can form. Usage: check-layers.py [SOURCE_DIR]; exit 1 with the offending
includes named.
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


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    faults = []
    for top in ORDER:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1).split("/")[0]
                        if target not in BELOW or target == top:
                            continue
                        if target not in BELOW[top]:
                            faults.append("%s:%d: %s/ may not include %s" %
                                          (os.path.relpath(path, root), number, top, match.group(1)))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
