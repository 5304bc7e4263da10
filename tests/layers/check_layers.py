#!/usr/bin/env python3
"""Fails when a product folder reaches a folder above it, or another folder
on its own level: layers only look down, in includes and in calls.

  - an include of a header of a folder above or beside;
  - a definition of a function or variable that a header of a folder below
    or beside declares: a call that runs up at link time, which no include
    shows (the lower folder calls it; the higher one supplies it).

  check_layers.py ROOT           check the tree at ROOT
  check_layers.py --self-test    check that both kinds are caught (in a
                                 scratch tree of its own)
"""
import os
import re
import sys
import tempfile

# Bottom first. A folder may include its own headers and those of any
# folder on a lower level, and define only what its own headers or those
# of higher folders declare.
LEVELS = [
    ["protocol", "port", "res", "platform"],
    ["lights", "lightnet"],
    ["pipe", "music", "audio"],
    ["app", "client"],
    ["tools", "plugin"],
]
LEVEL = {folder: n for n, folders in enumerate(LEVELS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"', re.M)
SOURCES = (".c", ".cc", ".cpp", ".h", ".hpp", ".rc")
HEADERS = (".h", ".hpp")
CODE = (".c", ".cc", ".cpp")


def relation(lower, higher):
    return "above" if LEVEL[higher] > LEVEL[lower] else "beside"


def product_files(root):
    for folder in LEVEL:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if name.endswith(SOURCES):
                    path = os.path.join(directory, name)
                    with open(path, encoding="utf-8", errors="replace") as f:
                        yield folder, os.path.relpath(path, root), f.read()


def include_violations(files):
    found = []
    for folder, path, text in files:
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            if target == folder or target not in LEVEL:
                continue
            if LEVEL[target] >= LEVEL[folder]:
                line = text.count("\n", 0, match.start()) + 1
                found.append(f"{path}:{line}: includes {target}/, which is "
                             f"{relation(folder, target)} {folder}/")
    return found


# --- Declarations and definitions at namespace scope ----------------------

def blank(text):
    """Comments, literals and preprocessor lines as spaces, newlines kept."""
    out = []
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            # A directive, with its continuation lines.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out.append(" ")
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
            continue
        if c == "\n":
            at_line_start = True
        elif not c.isspace():
            at_line_start = False
        out.append(c)
        i += 1
    return "".join(out)


FUNCTION_POINTER = re.compile(r"\(\s*\*\s*([A-Za-z_]\w*)\s*\)")
NOT_OURS = re.compile(r"^\s*(typedef|using|friend|static_assert|template|operator)\b")
LOCAL = re.compile(r"^\s*(static|inline|constexpr)\b|\binline\b|\bconstexpr\b")


def declared_name(statement):
    """(name, 'function' or 'variable') of a statement, or None."""
    head = statement.split("=")[0]
    paren = head.find("(")
    pointer = FUNCTION_POINTER.match(head, paren) if paren >= 0 else None
    if pointer:  # void (*Name)(int): a variable that holds a function.
        return pointer.group(1), "variable"
    if paren >= 0:
        match = re.search(r"(::\s*)?~?([A-Za-z_]\w*)\s*$", head[:paren])
        if match is None or match.group(1) or match.group(2) == "operator":
            return None  # A qualified (member) name or an operator.
        return match.group(2), "function"
    match = re.search(r"(::\s*)?([A-Za-z_]\w*)\s*(\[[^\]]*\]\s*)*$", head)
    if match is None or match.group(1):
        return None
    return match.group(2), "variable"


def namespace_scope(text):
    """Yields (statement, line, ends_with) for each statement at namespace
    scope outside anonymous namespaces: ends_with is ';' or '{' (a body or
    a braced initializer follows, skipped). Names get their namespaces."""
    text = blank(text)
    stack = []  # Named namespaces ('ns', name), anonymous ('anon') or other ('block').
    statement, start = [], 0
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        visible = all(entry != "anon" and entry != "block" for entry in stack)
        if c == "{":
            head = "".join(statement).strip()
            named = re.fullmatch(r"(?:inline\s+)?namespace\s+([A-Za-z_]\w*(?:::\w+)*)", head)
            if re.fullmatch(r"(?:inline\s+)?namespace", head):
                stack.append("anon")
            elif named:
                stack.append(("ns", named.group(1)))
            elif re.fullmatch(r'extern\s*"\s*"', head):
                stack.append(("ns", ""))
            else:
                if visible and head:
                    yield head, start, "{", [e[1] for e in stack if e[1]]
                stack.append("block")
            statement = []
        elif c == "}":
            if stack:
                stack.pop()
            statement = []
        elif c == ";":
            head = "".join(statement).strip()
            if visible and head:
                yield head, start, ";", [e[1] for e in stack if e[1]]
            statement = []
        else:
            if not statement and c.isspace():
                i += 1
                continue
            if not statement:
                start = text.count("\n", 0, i) + 1
            statement.append(c)
        i += 1


def declarations(text):
    """Names a header declares for another file to define: plain function
    declarations and extern variables."""
    names = {}
    for statement, line, end, spaces in namespace_scope(text):
        if end != ";" or NOT_OURS.match(statement) or LOCAL.search(statement):
            continue
        if re.match(r"^\s*(struct|class|union|enum)\b", statement) and "(" not in statement:
            continue  # A type's forward declaration.
        found = declared_name(statement)
        if found is None:
            continue
        name, kind = found
        if kind == "variable" and not re.match(r"^\s*extern\b", statement):
            continue  # Defined by the header itself (a constant or a type's object).
        if kind == "function" and "=" in statement.split("(")[0]:
            continue
        names["::".join(spaces + [name])] = line
    return names


def definitions(text):
    """Names a source file defines with external linkage: functions with a
    body, and variables outside anonymous namespaces that are not extern."""
    names = []
    for statement, line, end, spaces in namespace_scope(text):
        if NOT_OURS.match(statement) or re.match(r"^\s*(static|extern|constexpr)\b", statement):
            continue
        if re.match(r"^\s*(struct|class|union|enum)\b", statement):
            continue
        found = declared_name(statement)
        if found is None:
            continue
        name, kind = found
        if kind == "function" and end == ";" and "=" not in statement.split("(")[0]:
            continue  # Only a declaration.
        names.append(("::".join(spaces + [name]), line))
    return names


def definition_violations(files):
    declared = {}  # name -> [(folder, header path)]
    for folder, path, text in files:
        if path.endswith(HEADERS):
            for name in declarations(text):
                declared.setdefault(name, []).append((folder, path))
    found = []
    for folder, path, text in files:
        if not path.endswith(CODE):
            continue
        for name, line in definitions(text):
            for low_folder, header in declared.get(name, []):
                if low_folder != folder and LEVEL[low_folder] <= LEVEL[folder]:
                    found.append(f"{path}:{line}: defines {name}, which {header} declares: "
                                 f"{folder}/ is {relation(low_folder, folder)} {low_folder}/")
    return found


def violations(root):
    files = list(product_files(root))
    return include_violations(files) + definition_violations(files)


def self_test():
    cases = [
        # (files, what must be reported)
        ({"app/ok.cpp": '#include "lights/light_control.h"\n',
          "lights/bad.cpp": '#include "lights/ui_ops.h"\n#include "app/main_window.h"\n'},
         ["lights/bad.cpp:2: includes app/, which is above lights/"]),
        # A lower header's declaration defined above: the call runs up.
        ({"lights/ui_ops.h": "#pragma once\n// Defined by each front end.\nvoid RequestRepaint();\n"
                             "extern int Repaints;\nvoid Apply(const char* line);\n"
                             "inline int Twice(int x) { return 2 * x; }\n"
                             "int StartWorker(void (*run)(void* arg), void* arg);\n",
          "lights/apply.cpp": '#include "lights/ui_ops.h"\nvoid Apply(const char*) {\n  RequestRepaint();\n}\n',
          "app/ui_ops.cpp": '#include "lights/ui_ops.h"\n\nint Repaints = 0;\n'
                            "void RequestRepaint() {\n  ++Repaints;\n}\n"
                            "namespace {\nvoid Apply(int) {}\n}  // namespace\n"
                            "static int Twice(int x) { return x; }\n"
                            "int StartWorker(void (*run)(void*), void*) { return 0; }\n"},
         ["app/ui_ops.cpp:3: defines Repaints, which lights/ui_ops.h declares: app/ is above lights/",
          "app/ui_ops.cpp:4: defines RequestRepaint, which lights/ui_ops.h declares: app/ is above lights/",
          "app/ui_ops.cpp:11: defines StartWorker, which lights/ui_ops.h declares: app/ is above lights/"]),
        # Beside is no better than above; a sink handed down is fine.
        ({"lightnet/outputs.h": "struct Sink { void (*line)(const char*); };\nvoid Start(const Sink& sink);\n",
          "lightnet/outputs.cpp": '#include "lightnet/outputs.h"\nvoid Start(const Sink& sink) { sink.line(">"); }\n',
          "lights/start.cpp": "void Start(const Sink&) {}\n",
          "app/main.cpp": '#include "lightnet/outputs.h"\nvoid Line(const char*) {}\nint main() { Start({Line}); }\n'},
         ["lights/start.cpp:1: defines Start, which lightnet/outputs.h declares: lights/ is beside lightnet/"]),
    ]
    failed = 0
    for number, (tree, expected) in enumerate(cases, 1):
        with tempfile.TemporaryDirectory() as root:
            for path, text in tree.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w") as f:
                    f.write(text)
            found = violations(root)
        if found != expected:
            print(f"self-test case {number}: expected {expected}, found {found}")
            failed += 1
    if failed:
        return 1
    print("self-test: an upward include, an upward and a sideways definition are caught;"
          " a local one, an inline one and a sink are not")
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
        print(f"{len(found)} include(s) or definition(s) against the layers")
        return 1
    print("every include and every definition looks down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
