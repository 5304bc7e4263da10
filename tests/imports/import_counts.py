#!/usr/bin/env python3
"""The import table of an .exe, from objdump -p. Two modes:

  import_counts.py < objdump-output
      prints how many functions it imports from each DLL, e.g.
      "80 imported functions: GDI32.dll 8, KERNEL32.dll 28, ..."
  import_counts.py --objdump OBJDUMP --list allowed_imports.txt \
      --oldest-nt 4.0 --needs-9x --version 4.0 EXE
      checks that the .exe loads on its build's oldest systems: fails on an
      import that is not in the allowed list, or that one of the oldest
      systems lacks, and on subsystem or OS version fields newer than those
      systems
"""
import argparse
import re
import subprocess
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
            if len(line) < 4:
                sys.exit(f"{path}:{number}: want DLL, oldest NT, oldest 9x, functions")
            dll, nt, nine_x = line[:3]
            for function in line[3:]:
                if (dll.lower(), function) in allowed:
                    sys.exit(f"{path}:{number}: {dll} {function} listed twice")
                allowed[(dll.lower(), function)] = (version(nt), nine_x)
    return allowed


def check(args):
    allowed = read_list(args.list)
    text = subprocess.run([args.objdump, "-p", args.exe], check=True, capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^(\w+)\s+([0-9a-fA-F]+)\b", text, re.M))
    imports = read_imports(text)
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


def main():
    if len(sys.argv) == 1:
        print(summary(read_imports(sys.stdin.read())))
        return 0
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--list", required=True)
    parser.add_argument("--oldest-nt", required=True, type=version)
    parser.add_argument("--needs-9x", action="store_true",
                        help="must also load on Windows 95 (with msvcrt.dll)")
    parser.add_argument("--version", required=True, type=version,
                        help="the subsystem and OS version fields it must carry")
    parser.add_argument("exe")
    return check(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
