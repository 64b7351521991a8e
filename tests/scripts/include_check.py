#!/usr/bin/env python3
"""Checks the product's includes against its layers.

Layers, highest first; a file may include headers of its own layer and of the
layers below it, never of one above:

    app/          start-up, main window, commands, INI file, dialogs
    audio/        transport, recording, playback, new-file dialog
    sound_files/  opening, creating, repair, analysis, information dialogs
    meter/        level meter, status lines (sound_files/ shows its format)
    base/         AppState and the helpers every layer needs
    resources/    string ids, Japanese texts

It also fails on an include cycle between modules (a module is a source file
and the header named after it), whatever their layers. A lower layer with
something to tell a higher one returns a failure or posts a window message.

And it holds the owners of the records: each record is read everywhere
through a const reference and written only through its writable accessor,
which may be called in its owner's folder alone (OwnedApp in app/,
OwnedTransport in audio/, so the run state moves only there,
OwnedCurrentFile in sound_files/, OwnedMeter in meter/); no const_cast
anywhere in the product gets around that.

Usage: include_check.py [repository]   (prints the findings; status 1 on any)
"""
import os
import re
import sys

RANKS = {"app": 5, "audio": 4, "sound_files": 3, "meter": 2, "base": 1, "resources": 0}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
OWNERS = {"OwnedApp": "app", "OwnedTransport": "audio", "OwnedCurrentFile": "sound_files", "OwnedMeter": "meter"}
ACCESSOR = re.compile(r'\b(' + "|".join(OWNERS) + r')\b')
CONST_CAST = re.compile(r'\bconst_cast\b')
# Comments, string and character literals, blanked out with their line breaks
# kept, so that only code is judged and line numbers stay right.
NOT_CODE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def code_only(text):
    return NOT_CODE.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)


def product_files(root):
    for folder in RANKS:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.endswith((".h", ".cpp")):
                yield f"{folder}/{name}"


def module(path):
    return os.path.splitext(path)[0]


def cycles(graph):
    """Strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for other in sorted(graph.get(node, ())):
            if other not in index:
                visit(other)
                low[node] = min(low[node], low[other])
            elif other in on_stack:
                low[node] = min(low[node], index[other])
        if low[node] == index[node]:
            component = []
            while True:
                other = stack.pop()
                on_stack.discard(other)
                component.append(other)
                if other == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    problems = []
    graph = {}
    for path in product_files(root):
        with open(os.path.join(root, path), encoding="utf-8") as source:
            text = source.read()
        folder = path.split("/")[0]
        for header in INCLUDE.findall(text):
            target_folder = header.split("/")[0]
            if target_folder not in RANKS:
                continue
            if not os.path.exists(os.path.join(root, header)):
                problems.append(f"{path}: includes {header}, which does not exist")
                continue
            if module(header) != module(path):
                graph.setdefault(module(path), set()).add(module(header))
            if RANKS[target_folder] > RANKS[folder]:
                problems.append(f"{path}: includes {header} of the higher layer {target_folder}/")
        for number, line in enumerate(code_only(text).splitlines(), 1):
            for match in ACCESSOR.finditer(line):
                if OWNERS[match.group(1)] != folder:
                    problems.append(f"{path}:{number}: {match.group(1)} outside {OWNERS[match.group(1)]}/")
            if CONST_CAST.search(line):
                problems.append(f"{path}:{number}: const_cast")
    for component in cycles(graph):
        problems.append("include cycle between " + ", ".join(component))
    for problem in problems:
        print(problem)
    print(f"include check: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
