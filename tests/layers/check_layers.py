#!/usr/bin/env python3
"""Fails when a product folder includes a header of a folder above it, or
of another folder on its own level: layers only look down.

  check_layers.py ROOT           check the tree at ROOT
  check_layers.py --self-test    check that a lower folder's upward include
                                 is caught (in a scratch tree of its own)
"""
import os
import re
import sys
import tempfile

# Bottom first. A folder may include its own headers and those of any
# folder on a lower level.
LEVELS = [
    ["protocol", "port", "res"],
    ["out"],  # ApplyLightLine hands the outputs each new state.
    ["lights"],
    ["pipe", "music"],
    ["app", "client"],
    ["audio"],  # On client/'s platform layer (its clock paces files).
    ["tools", "plugin"],
]
LEVEL = {folder: n for n, folders in enumerate(LEVELS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"', re.M)
SOURCES = (".c", ".cc", ".cpp", ".h", ".hpp", ".rc")


def violations(root):
    found = []
    for folder in LEVEL:
        top = os.path.join(root, folder)
        for directory, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    target = match.group(1)
                    if target == folder or target not in LEVEL:
                        continue
                    if LEVEL[target] >= LEVEL[folder]:
                        line = text.count("\n", 0, match.start()) + 1
                        where = "above" if LEVEL[target] > LEVEL[folder] else "beside"
                        found.append(f"{os.path.relpath(path, root)}:{line}: includes "
                                     f"{target}/, which is {where} {folder}/")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "lights"))
        os.makedirs(os.path.join(root, "app"))
        with open(os.path.join(root, "app", "ok.cpp"), "w") as f:
            f.write('#include "lights/light_control.h"\n')
        with open(os.path.join(root, "lights", "bad.cpp"), "w") as f:
            f.write('#include "lights/ui_ops.h"\n#include "app/caption.h"\n')
        found = violations(root)
    if found != ["lights/bad.cpp:2: includes app/, which is above lights/"]:
        print("self-test: the upward include was not reported as expected:", found)
        return 1
    print("self-test: lights/ including app/caption.h is caught")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    found = violations(sys.argv[1])
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layers")
        return 1
    print("every include looks down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
