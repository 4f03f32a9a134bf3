#!/usr/bin/env python3
"""Checks that includes between the folders of src/ run one way, from the top layer down.

Every #include "..." in src/<folder>/ is resolved to the folder that holds the header: a path
with a folder ("toolkit/Form.h") names it, a bare name is the including folder's own header or,
failing that, the one folder of src/ that has a header of that name. An include of a folder
above the includer, or of a folder missing from LAYERS, is reported; so is any cycle.
Prints the folder graph with --graph. Exit status 0 when the layering holds, 1 otherwise.
"""
import pathlib
import re
import sys

# Bottom first. A folder may include its own headers and those of folders before it.
LAYERS = ["shared", "lookup", "import", "toolkit", "limiter", "tray", "settings", "forms",
          "speech", "dialogs", "mainwindow", "app"]

# Headers the build generates outside src/ (they include nothing): below every layer.
GENERATED = {"kelvara/Version.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def main() -> int:
    src = pathlib.Path(__file__).resolve().parent.parent / "src"
    folders = sorted(p.name for p in src.iterdir() if p.is_dir())
    owners: dict[str, set[str]] = {}  # header base name -> folders that have it
    for folder in folders:
        for header in (src / folder).rglob("*"):
            if header.suffix in (".h", ".inc"):
                owners.setdefault(header.name, set()).add(folder)

    problems: list[str] = []
    edges: dict[str, set[str]] = {f: set() for f in folders}
    for folder in folders:
        if folder not in LAYERS:
            problems.append(f"src/{folder}/ is not placed in a layer (scripts/check-layers.py)")
        for file in sorted((src / folder).rglob("*")):
            if file.suffix not in (".h", ".cpp", ".inc"):
                continue
            for target in INCLUDE.findall(file.read_text(encoding="utf-8", errors="replace")):
                if target in GENERATED:
                    continue
                parts = target.split("/")
                if len(parts) > 1 and (src / parts[0]).is_dir():
                    to = parts[0]
                elif (file.parent / target).exists():
                    to = folder
                else:
                    found = owners.get(parts[-1], set())
                    if len(found) != 1:
                        problems.append(f"{file.relative_to(src.parent)}: \"{target}\" is "
                                        f"{'in no folder of src/' if not found else 'ambiguous'}")
                        continue
                    to = next(iter(found))
                if to == folder:
                    continue
                edges[folder].add(to)
                if folder in LAYERS and to in LAYERS and LAYERS.index(to) > LAYERS.index(folder):
                    problems.append(f"{file.relative_to(src.parent)}: includes \"{target}\" of "
                                    f"src/{to}/, a layer above src/{folder}/")

    # Any cycle, whatever the declared order says.
    state: dict[str, int] = {}

    def visit(node: str, path: list[str]) -> None:
        state[node] = 1
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                cycle = path[path.index(nxt):] + [nxt] if nxt in path else [node, nxt]
                problems.append("include cycle: " + " -> ".join(cycle))
            elif nxt not in state:
                visit(nxt, path + [nxt])
        state[node] = 2

    for f in folders:
        if f not in state:
            visit(f, [f])

    if "--graph" in sys.argv:
        for f in sorted(folders, key=lambda x: LAYERS.index(x) if x in LAYERS else -1,
                        reverse=True):
            print(f"{f:11} -> {' '.join(sorted(edges[f])) or '(nothing)'}")
    for p in problems:
        print(p, file=sys.stderr)
    if not problems:
        print(f"layers: {len(folders)} folders of src/, includes run one way, no cycle")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
