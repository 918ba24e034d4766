#!/usr/bin/env python3
"""Looks for circles among the converter's and the library's files.

    tests/dependency_cycles.py [BUILD_DIR]

Two graphs: the quoted #includes between the files of corvane/ and varnel/src/,
and, when a build folder is given, the calls between the converter's object
files (a symbol one object uses and another defines, read with nm). Prints each
circle found; exit status 1 when there is one.
"""
import collections
import glob
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def include_graph(folder):
    graph = collections.defaultdict(set)
    for path in glob.glob(os.path.join(ROOT, folder, "**", "*.[ch]*"), recursive=True):
        name = os.path.basename(path)
        with open(path, encoding="utf-8", errors="replace") as text:
            for line in text:
                found = re.match(r'#include "(?:varnel/)?([^"]+)"', line)
                if found:
                    graph[name].add(os.path.basename(found.group(1)))
    return graph


def call_graph(build):
    defined, used = {}, {}
    for path in glob.glob(os.path.join(build, "corvane", "CMakeFiles", "corvane_core.dir", "*.o")):
        source = os.path.basename(path)[: -len(".o")]
        if not os.path.exists(os.path.join(ROOT, "corvane", source)):
            continue  # an object left behind by a file that is gone
        symbols = subprocess.run(["nm", "-C", path], capture_output=True, text=True).stdout.splitlines()
        used[source] = set()
        for line in symbols:
            kind, _, symbol = line[17:18], line[18:19], line[19:]
            if kind == "U":
                used[source].add(line.split("U ", 1)[1])
            elif kind in "TDBRVW":
                defined.setdefault(symbol, source)
    graph = collections.defaultdict(set)
    for source, symbols in used.items():
        for symbol in symbols:
            owner = defined.get(symbol)
            if owner and owner != source:
                graph[source].add(owner)
    return graph


def circles(graph):
    """Strongly connected components of more than one node (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for next_node in graph.get(node, ()):
            if next_node not in index:
                visit(next_node)
                low[node] = min(low[node], low[next_node])
            elif next_node in on_stack:
                low[node] = min(low[node], index[next_node])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in list(graph):
        if node not in index:
            visit(node)
    return found


def main():
    graphs = [("includes in corvane/", include_graph("corvane")), ("includes in varnel/", include_graph("varnel"))]
    if len(sys.argv) > 1:
        graphs.append(("calls between corvane objects", call_graph(sys.argv[1])))
    bad = False
    for title, graph in graphs:
        found = circles(graph)
        print(f"{title}: {len(graph)} files, " + ("no circle" if not found else f"circles: {found}"))
        bad = bad or bool(found)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
