#!/usr/bin/env python3
"""Writes the job files of this example from the measured test files.

Usage: make_job_files.py DATA_FOLDER   (the folder holding TMD07.txt ...)

Strains in the data are in percent with compression positive; the curve
files use code -14 (axial strain, compression positive) and -6 (volumetric
strain, contraction positive) as fractions, and code 5 (deviator stress) in
kPa. Measured rows are picked, not interpolated: the row nearest to each
target axial strain up to 10 %.
"""
import pathlib
import sys

TESTS = [("TMD07", 100.6), ("TMD08", 199.2), ("TMD09", 298.4)]
TARGETS = [0.05, 0.1, 0.2, 0.3, 0.5, 0.75, 1.0, 1.25, 1.5] + [2.0 + 0.5 * k for k in range(17)]
HERE = pathlib.Path(__file__).resolve().parent


def read_rows(path):
    rows = []
    for line in path.read_text().splitlines():
        if line.startswith("#") or not line.strip():
            continue
        eps1, epsv, _eps3, _epsq, _e, q = (float(v) for v in line.split()[:6])
        rows.append((eps1, epsv, q))
    return rows


def picked(rows):
    chosen = []
    for t in TARGETS:
        row = min(rows, key=lambda r: abs(r[0] - t))
        if row not in chosen:
            chosen.append(row)
    return chosen


def curve(codes, points):
    lines = [codes, "1", "0", str(len(points))]
    lines += [f"{x:.6g} {y:.6g}" for x, y in points]
    return "\n".join(lines) + "\n"


def lab_test(title, model, name, params, cell, steps, strain, tolerance):
    slots = ["0"] * 200
    for slot, value in params.items():
        slots[slot - 1] = repr(value)
    lines = [title, "6", "units: force, length, time", "kN", "m", "day", "", "10", "", "",
             "Material", str(model), name] + [""] * 7 + slots
    lines += ["Test", "1", "0", str(tolerance), "1", "200", "0", "0", "0",
              f"{-cell} {-cell} {-cell} 0 0 0", "1", str(steps), "1",
              f"0 {-strain} 0 0 0 0", "0 0 0 0 0 0", "1 0 1 1 1 1"]
    return "\n".join(lines) + "\n"


MC = {1: 10000.0, 2: 0.25, 3: 0.5, 4: 0.0, 5: 0.1, 20: 0.46}
HS = {1: 50000.0, 2: 0.2, 3: 0.5, 4: 0.0, 5: 0.1, 20: 0.46, 22: 1.0, 34: 0.5, 35: 100.0,
      37: 0.9, 38: 20000.0, 39: 0.45, 40: 20000.0, 103: 1.0}

JOBS = {
    # folder: (model, params, steps, tolerance, free slots and bounds, curves per test)
    "mohr_coulomb": (2, MC, 105, 0.01, [(1, 1000, 40000), (3, 0.3, 0.8), (5, 0.0, 0.3)], ["Q"]),
    "hardening_soil": (6, HS, 53, 0.001, [(40, 10000, 50000), (3, 0.4, 0.8), (5, 0.0, 0.3)], ["Q"]),
    "volumetric": (2, MC, 105, 0.01, [(1, 1000, 40000), (3, 0.3, 0.8), (5, 0.0, 0.3)], ["Q", "EV"]),
}


def main():
    data = pathlib.Path(sys.argv[1])
    for folder, (model, params, steps, tol, free, curves) in JOBS.items():
        out = HERE / folder
        out.mkdir(exist_ok=True)
        optim = [str(len(free)), "1", "0.001"] + [str(s) for s, _, _ in free]
        optim += [f"{lo} {hi}" for _, lo, hi in free] + [str(len(TESTS))]
        for test, cell in TESTS:
            rows = picked(read_rows(data / f"{test}.txt"))
            title = f"Drained triaxial compression, Karlsruhe fine sand {test}, cell pressure {cell} kPa"
            name = "Karlsruhe fine sand"
            (out / f"{test}.VLT").write_text(
                lab_test(title, model, name, params, cell, steps, 0.001 * steps * (2 if model == 6 else 1), tol))
            optim.append(f"{test}.VLT {len(curves)}")
            for c in curves:
                if c == "Q":
                    text = curve("-14 5", [(r[0] / 100, r[2]) for r in rows])
                else:
                    text = curve("-14 -6", [(r[0] / 100, r[1] / 100) for r in rows])
                (out / f"{c}_{test}.TXT").write_text(text)
                optim.append(f"{c}_{test}.TXT")
        (out / "OPTIM.TXT").write_text("\n".join(optim) + "\n")


if __name__ == "__main__":
    main()
