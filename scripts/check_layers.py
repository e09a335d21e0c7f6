#!/usr/bin/env python3
"""Checks that every #include "room/..." runs down the layers.

Usage: scripts/check_layers.py [SOURCE_FOLDER]   (default: the repository)

A room is a top-level folder of sources. Each room names the rooms directly
beneath it; a file may include its own room and every room reachable
downwards from it, nothing else. The engine is a chain
(run -> report -> optimisation -> labtest -> input -> models -> services);
the front ends sit beside it: jobfile/ over input/ and derive/ (the start
values read off measured tests, over input/), the rooms of the
programs' commands (jobs/ over run/ and jobfile/, batch/ and compare/ over jobs/), app/
(the programs and the dispatch) over those, python/ over jobs/. The tests,
benchmarks and examples may include any room but app/ and python/.

Prints one line per upward include (file, line, what to do) and exits 1 when
there is any, or when a folder with sources is not in ROOMS below.
"""
import os
import re
import sys

# Each room with the rooms directly beneath it. A new room gets a line here.
ROOMS = {
    "soilcal": [],  # include/soilcal: the C interface of user models
    "services": [],
    "models": ["services", "soilcal"],
    "input": ["models"],
    "labtest": ["input"],
    "optimisation": ["labtest"],
    "report": ["optimisation"],
    "run": ["report"],
    "derive": ["input"],
    "labfiles": ["services"],
    "jobfile": ["input", "derive", "labfiles"],
    "jobs": ["run", "jobfile"],
    "batch": ["jobs"],
    "compare": ["jobs"],
    "web": ["jobs", "jobfile"],
    "app": ["jobs", "batch", "compare", "web"],
    "python": ["jobs"],
}
# Folders whose files are leaves: they may include any room but the
# programs' own, and nothing includes them.
LEAVES = {"tests": "tests", "bench": "bench", "examples": "examples"}
LEAF_MAY_NOT = {"app", "python"}
# Folders without C++ sources of the program.
IGNORED = {"build", "cmake", "docs", "scripts", ".git", ".ci"}

# Sample trees of the check's own test (planted upward includes).
FIXTURES = os.path.join("tests", "fixtures")

SOURCE = re.compile(r".*\.(cpp|hpp|h|cc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def reachable(room):
    seen, todo = {room}, [room]
    while todo:
        for lower in ROOMS[todo.pop()]:
            if lower not in seen:
                seen.add(lower)
                todo.append(lower)
    return seen


def room_of(relative):
    parts = relative.split(os.sep)
    if parts[0] == "include" and len(parts) > 2:
        return parts[1]
    return parts[0]


def check(root):
    problems = []
    allowed = {room: reachable(room) for room in ROOMS}
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        relative_folder = os.path.relpath(folder, root)
        top = relative_folder.split(os.sep)[0]
        # A build folder of any name (build-asan/, ...) holds generated code.
        is_build = top != "." and os.path.isfile(os.path.join(root, top, "CMakeCache.txt"))
        if (top in IGNORED and top != "include") or is_build or relative_folder == FIXTURES:
            dirs[:] = []
            continue
        for name in sorted(files):
            if not SOURCE.match(name):
                continue
            relative = os.path.normpath(os.path.join(relative_folder, name))
            if os.sep not in relative:
                continue  # a file at the top is no room's
            room = room_of(relative)
            if room not in ROOMS and room not in LEAVES:
                problems.append(f"{relative}: the folder {room}/ is not in the layering; add it "
                                "to ROOMS in scripts/check_layers.py with the rooms beneath it")
                continue
            with open(os.path.join(root, relative), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = match.group(1)
                    if room in LEAVES:
                        upward = target in LEAF_MAY_NOT
                    elif target in LEAVES:
                        upward = True
                    else:
                        upward = target in ROOMS and target not in allowed[room]
                    if upward:
                        problems.append(
                            f"{relative}:{number}: {room}/ includes {target}/, which is not "
                            f"beneath it; move what it needs down into a room beneath "
                            f"{room}/ or the including code up")
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} include(s) against the layering")
        return 1
    print("every include runs down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
