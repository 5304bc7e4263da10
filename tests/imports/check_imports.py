#!/usr/bin/env python3
"""Checks that an .exe loads on its build's oldest systems: reads its PE
header and import table with objdump -p and fails on an import that is not
in the allowed list, or that one of the oldest systems lacks, and on
subsystem or OS version fields newer than those systems.

  check_imports.py --objdump OBJDUMP --list allowed_imports.txt \
      --oldest-nt 4.0 --needs-9x --version 4.0 EXE
"""
import argparse
import re
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from import_counts import read_imports, summary  # noqa: E402


def version(text):
    major, minor = text.split(".")
    return (int(major), int(minor))


def read_list(path):
    allowed = {}
    with open(path) as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].split()
            if not line:
                continue
            if len(line) != 4:
                sys.exit(f"{path}:{number}: want DLL, function, oldest NT, oldest 9x")
            dll, function, nt, nine_x = line
            allowed[(dll.lower(), function)] = (version(nt), nine_x)
    return allowed


def read_pe(objdump, exe):
    """The header fields and the imports, {dll: [function or #ordinal]}."""
    text = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^(\w+)\s+([0-9a-fA-F]+)\b", text, re.M))
    return fields, read_imports(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--list", required=True)
    parser.add_argument("--oldest-nt", required=True, type=version)
    parser.add_argument("--needs-9x", action="store_true",
                        help="must also load on Windows 95 (with msvcrt.dll)")
    parser.add_argument("--version", required=True, type=version,
                        help="the subsystem and OS version fields it must carry")
    parser.add_argument("exe")
    args = parser.parse_args()

    allowed = read_list(args.list)
    fields, imports = read_pe(args.objdump, args.exe)
    faults = []

    for name in ("Subsystem", "OSystem"):
        major = int(fields.get(f"Major{name}Version", "-1"))
        minor = int(fields.get(f"Minor{name}Version", "-1"))
        if (major, minor) != args.version:
            faults.append(f"{name} version {major}.{minor}, want {args.version[0]}.{args.version[1]}")
    if not imports:
        faults.append("no import table found (is this a PE file?)")

    for dll, functions in imports.items():
        for function in functions:
            entry = allowed.get((dll.lower(), function))
            if entry is None:
                faults.append(f"{dll} {function}: not in {args.list}")
                continue
            nt, nine_x = entry
            if nt > args.oldest_nt:
                faults.append(f"{dll} {function}: needs NT {nt[0]}.{nt[1]}, "
                              f"the oldest target is NT {args.oldest_nt[0]}.{args.oldest_nt[1]}")
            if args.needs_9x and nine_x not in ("95", "95-stub"):
                faults.append(f"{dll} {function}: Windows 95 lacks it ({nine_x})")

    print(f"{args.exe}: {summary(imports)}; "
          f"subsystem {fields.get('MajorSubsystemVersion')}.{fields.get('MinorSubsystemVersion')}, "
          f"OS {fields.get('MajorOSystemVersion')}.{fields.get('MinorOSystemVersion')}")
    for fault in faults:
        print("FAULT: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
