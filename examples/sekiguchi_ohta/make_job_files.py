#!/usr/bin/env python3
"""Writes the two Sekiguchi-Ohta example jobs on a soft clay (model 31):
oedometer/ (load to 400 kPa, unload to 200 kPa; frees lambda* and kappa*)
and undrained_triaxial/ (cell pressure 100 kPa; frees M and lambda*). The
measured curves are the program's own response to the known parameters
(kappa* 0.02, lambda* 0.1, M 1.2), made with soilcal-labtest
--extended-models; the test files carry the free parameters 30 % off
(lambda* 0.07, kappa* 0.026, M 0.84) and the others at their known values.
Each measured curve is also written as the CSV file of the folder's TOML
job, job.toml, with the very same numbers.

Run from the repository root after a build:
    python3 examples/sekiguchi_ohta/make_job_files.py
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LABTEST = os.path.join(HERE, "..", "..", "build", "soilcal-labtest")

KNOWN = {38: 0.02, 39: 0.1, 31: 1.2}
START = {38: 0.026, 39: 0.07, 31: 0.84}
OPTIM = """2
1
0.0001
%d
%d
%s
%s
1
%s
"""
# nu 0.2, porosity 0.5, K0nc 0.6, pref 100; slot 1 follows from kappa*.
BASE = {1: 1000.0, 2: 0.2, 20: 0.5, 35: 100.0, 37: 0.6, 103: 1.0}


def test_file(header, variant, initial, phases, params):
    slots = dict(BASE)
    slots.update(params)
    lines = [header, "6", "units: force, length, time", "kN", "m", "day", "", "10", "", "",
             "Material", "31", "Soft clay (Sekiguchi-Ohta)"] + [""] * 7
    lines += [repr(float(slots.get(k, 0.0))) for k in range(1, 201)]
    lines += ["Test", "1", str(variant), "0.0001", "1", "200", "0", "0", "0",
              " ".join(str(v) for v in initial), str(len(phases))]
    for steps, time, strain, stress, flags in phases:
        lines += [str(steps), str(time), " ".join(map(str, strain)),
                  " ".join(map(str, stress)), " ".join(map(str, flags))]
    return "\n".join(lines) + "\n"


OEDO = ("Oedometer on soft clay (Sekiguchi-Ohta): load to 400 kPa, unload to 200 kPa", 0,
        [-60, -100, -60, 0, 0, 0],
        [(12, 1, [0] * 6, [0, -300, 0, 0, 0, 0], [0, 1, 0, 0, 0, 0]),
         (6, 1, [0] * 6, [0, 200, 0, 0, 0, 0], [0, 1, 0, 0, 0, 0])])
TRIAX = ("Undrained triaxial compression of soft clay (Sekiguchi-Ohta), cell 100 kPa", 1,
         [-100, -100, -100, 0, 0, 0],
         [(20, 1, [0, -0.12, 0, 0, 0, 0], [0] * 6, [1, 0, 1, 1, 1, 1])])


def simulate(path, desc, free):
    with open(path, "w") as f:
        f.write(test_file(*desc, KNOWN))
    out = subprocess.run([LABTEST, "--extended-models", path], capture_output=True, text=True,
                         check=True).stdout
    rows = [list(map(float, l.split())) for l in out.splitlines() if not l.startswith("#")]
    start = dict(KNOWN)
    start.update({k: START[k] for k in free})
    with open(path, "w") as f:
        f.write(test_file(*desc, start))
    return rows


def job(folder, test, desc, free, bounds, curves):
    """Writes test, curves, OPTIM.TXT and the flag file of one job."""
    os.makedirs(folder, exist_ok=True)
    rows = simulate(os.path.join(folder, test), desc, free)
    names = []
    for name, codes, pick, csv, columns in curves:
        segments = pick(rows)
        curve(os.path.join(folder, name), codes, segments)
        table(os.path.join(folder, csv), columns, segments)
        names.append(name)
    listing = "%s %d\n" % (test, len(names)) + "".join(n + "\n" for n in names)
    with open(os.path.join(folder, "OPTIM.TXT"), "w") as f:
        f.write(OPTIM % (free[0], free[1], bounds[0], bounds[1], listing.rstrip("\n")))
    for flag in ("extended_models", "thorough_search"):
        open(os.path.join(folder, flag), "w").close()


def curve(path, codes, segments):
    text = "%d %d\n%d\n%d\n" % (codes[0], codes[1], len(segments), 1 if len(segments) > 1 else 0)
    text += "".join("%d\n" % len(s) for s in segments)
    for s in segments:
        text += "".join("%r %r\n" % p for p in s)
    with open(path, "w") as f:
        f.write(text)


def table(path, columns, segments):
    """The same points as a CSV file of the TOML job job.toml (with the
    phase of each row where the test has several phases)."""
    phases = len(segments) > 1
    text = ("phase," if phases else "") + ",".join(columns) + "\n"
    for p, s in enumerate(segments):
        text += "".join(("%d," % (p + 1) if phases else "") + "%r,%r\n" % pt for pt in s)
    with open(path, "w") as f:
        f.write(text)


def main():
    if not os.path.exists(LABTEST):
        sys.exit("build soilcal-labtest first (cmake --build build)")
    # Columns of soilcal-labtest: point phase time eps(6) sig(6) pw.
    job(os.path.join(HERE, "oedometer"), "OEDO.VLT", OEDO, (39, 38),
        ("0.05 0.2", "0.005 0.04"),
        [("OED_EPS.TXT", (-14, -20),
          lambda rows: [[(-r[4], -r[10]) for r in rows if r[1] == 1],
                        [(-r[4], -r[10]) for r in rows if r[1] == 2]],
          "OEDO_OED_EPS.csv", ("axial_strain", "vertical_stress"))])
    job(os.path.join(HERE, "undrained_triaxial"), "TRIAX_CU.VLT", TRIAX, (31, 39),
        ("0.8 1.6", "0.05 0.2"),
        [("Q_EPS.TXT", (-14, 5), lambda rows: [[(-r[4], abs(r[10] - r[9])) for r in rows][1:]],
          "TRIAX_CU_Q_EPS.csv", ("axial_strain", "deviator_stress")),
         ("PW_EPS.TXT", (-14, -7), lambda rows: [[(-r[4], -r[15]) for r in rows][1:]],
          "TRIAX_CU_PW_EPS.csv", ("axial_strain", "excess_pore_pressure"))])

if __name__ == "__main__":
    main()
