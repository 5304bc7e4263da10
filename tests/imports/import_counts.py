#!/usr/bin/env python3
"""Reads objdump -p output on standard input and prints how many functions
the executable imports from each DLL, e.g.
  "80 imported functions: GDI32.dll 8, KERNEL32.dll 28, ..."
check_imports.py reads the import table with read_imports below.
"""
import re
import sys


def read_imports(text):
    """{dll: [function, or #ordinal for an import by ordinal]} from objdump -p."""
    imports, dll = {}, None
    for line in text.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1)
            imports[dll] = []
            continue
        if line.startswith("The "):  # The next table: the imports are over.
            dll = None
        if dll is None:
            continue
        entry = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        by_ordinal = re.match(r"\s*[0-9a-f]+\s+<none>\s+([0-9a-f]+)\s*$", line)
        if entry:
            imports[dll].append(entry.group(1))
        elif by_ordinal:
            imports[dll].append("#" + by_ordinal.group(1))
    return imports


def summary(imports):
    return (f"{sum(len(f) for f in imports.values())} imported functions: " +
            ", ".join(f"{d} {len(f)}" for d, f in imports.items()))


if __name__ == "__main__":
    print(summary(read_imports(sys.stdin.read())))
