#!/usr/bin/env python3
"""Keeps the rooms of src/ in order: a file in a room includes its own room's headers and those
of rooms below it, never of a room beside or above it. Files at src/ itself (main.cpp) may
include any room. Prints each include that breaks the order and exits 1 when there is one.

Usage: room_order.py [SRC_FOLDER]   (default: the src/ beside this script's folder)
"""
import re
import sys
from pathlib import Path

# The rooms from the bottom up. A room may use the rooms on the lines before its own; rooms on
# one line know nothing of each other. A new room gets its place here.
ORDER = [
    ["app", "accessreader"],  # the windows' helpers; the Access reader, a program of its own
    ["store"],  # the data layer
    ["import", "export"],  # the ways in and out
    ["fields"],  # the field windows and the import's column dialog
    ["search", "table"],  # the search window; the table view of all records and its reports
    ["record"],  # the record window, which opens the others
    ["commandline"],  # the command line and the copies between stores
]
LEVEL = {room: level for level, rooms in enumerate(ORDER) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
SOURCES = {".h", ".hpp", ".c", ".cc", ".cpp"}


def problems(src):
    rooms = {p.name for p in src.iterdir() if p.is_dir()}
    for room in sorted(rooms - LEVEL.keys()):
        yield f"src/{room}: a room without a place in the order of {Path(__file__).name}"
    for path in sorted(p for p in src.rglob("*") if p.suffix in SOURCES and p.is_file()):
        relative = path.relative_to(src)
        own = relative.parts[0] if len(relative.parts) > 1 else None
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in rooms | LEVEL.keys():
                continue
            used = match.group(1)
            if own is None or used == own or used not in LEVEL or own not in LEVEL:
                continue
            if LEVEL[used] >= LEVEL[own]:
                where = "beside" if LEVEL[used] == LEVEL[own] else "above"
                yield (f"src/{relative}:{number}: {line.strip()}: {own} uses {used}, "
                       f"a room {where} it")


def main():
    here = Path(__file__).resolve().parent
    src = Path(sys.argv[1]) if len(sys.argv) > 1 else here.parent / "src"
    found = list(problems(src))
    for problem in found:
        print(problem)
    if found:
        print(f"{len(found)} include(s) out of order; the order is in {Path(__file__).name}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
