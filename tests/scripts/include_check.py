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
And it fails on a transition of the run state (app.run.Start, Pause, ...)
made outside audio/: the transport alone moves its run; others only ask it.

Usage: include_check.py [repository]   (prints the findings; status 1 on any)
"""
import os
import re
import sys

RANKS = {"app": 5, "audio": 4, "sound_files": 3, "meter": 2, "base": 1, "resources": 0}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
RUN_TRANSITION = re.compile(r'\bapp\.run\.(Start|Pause|Resume|AskStop|Close|End)\s*\(')


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
        if folder != "audio":
            for number, line in enumerate(text.splitlines(), 1):
                match = RUN_TRANSITION.search(line)
                if match:
                    problems.append(f"{path}:{number}: changes the run state ({match.group(1)}) outside audio/")
    for component in cycles(graph):
        problems.append("include cycle between " + ", ".join(component))
    for problem in problems:
        print(problem)
    print(f"include check: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
