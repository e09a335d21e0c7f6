"""Shared helpers of the Python module's tests.

scripts/test runs them with PYTHONPATH=BUILD/python and SOILCAL_BUILD_DIR=BUILD,
so that the module under test and the programs it is compared with come
from the same build.
"""

import math
import os
import shutil
import subprocess

import pytest

import soilcal

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD_DIR = os.path.abspath(os.environ.get(
    "SOILCAL_BUILD_DIR",
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(soilcal.__file__))))))


def program(name):
    path = os.path.join(BUILD_DIR, name)
    if not os.path.exists(path):
        pytest.skip("%s is not built in %s" % (name, BUILD_DIR))
    return path


def copy_example(name, to):
    """examples/NAME copied into the folder `to` (what a run writes left out)."""
    source = os.path.join(SOURCE_DIR, "examples", name)
    shutil.copytree(source, to, ignore=shutil.ignore_patterns("*.out", "*_referenced",
                                                              "*_calculated"))
    return str(to)


def run_program(args, cwd):
    """The built soilcal (or another program) on `args`; its completed process."""
    return subprocess.run(args, cwd=cwd, capture_output=True, text=True, timeout=120)


def result_sections(path):
    """Optimization_result.txt as {section: {key: value}} (numbers as floats)."""
    sections, current = {}, None
    with open(path) as f:
        for line in f:
            text = line.strip()
            if text.startswith("[") and text.endswith("]"):
                current = sections.setdefault(text[1:-1], {})
            elif " = " in text and current is not None:
                key, value = text.split(" = ", 1)
                current[key] = float(value)
    return sections


def slow_sand_job(folder, steps=3000, intensity=1):
    """The dense sand TOML job with `steps` load steps (and a search
    `intensity`): the same calibration, thirty times the work per evaluation
    (a search of about a second on a quiet machine)."""
    copy_example("sand_triaxial", folder)
    path = os.path.join(str(folder), "job.toml")
    with open(path) as f:
        text = f.read()
    text = text.replace("steps = 100", "steps = %d" % steps)
    text = text.replace("intensity = 1", "intensity = %d" % intensity)
    # The default search: its phases are the ones the tests follow.
    text = text.replace('search = "thorough"', 'search = "default"')
    with open(path, "w") as f:
        f.write(text)
    return path


def close(a, b, rel):
    return math.isclose(a, b, rel_tol=rel, abs_tol=0.0)
