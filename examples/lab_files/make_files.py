"""Writes the laboratory files of this example from the program's own
simulation: a drained triaxial series (two GDS exports) with the
Mohr-Coulomb model, an oedometer series (one AGS4 file) with the soft soil
model and an undrained cyclic triaxial test (a second AGS4 file) with the
UBC3D sand model, at the parameters given below.

    PYTHONPATH=build/python python3 examples/lab_files/make_files.py

The template tests are written as a native job by `soilcal --write-native`
and simulated one by one with soilcal.simulate; the readings are then put
into the laboratories' own formats (with a decimal comma, Windows-1252
units and CRLF line ends in one of the GDS files)."""

import math
import os
import shutil
import subprocess
import tempfile

import soilcal

HERE = os.path.dirname(os.path.abspath(__file__))
SOILCAL = os.environ.get("SOILCAL", os.path.join(HERE, "..", "..", "build", "soilcal"))

TRIAXIAL = """
[model]
name = "mohr_coulomb"
[parameters]
G = 18000
nu = 0.3
phi = 33
c = 2
psi = 3
[[tests]]
name = "CD100"
type = "triaxial_compression"
cell_pressure = 100
axial_strain = 0.06
steps = 60
[[tests]]
name = "CD200"
type = "triaxial_compression"
cell_pressure = 200
axial_strain = 0.06
steps = 60
"""

OEDOMETER = """
[model]
name = "soft_soil"
[parameters]
nu_ur = 0.15
phi = 25
M = 1
m = 1
pref = 100
K0nc = 0.6
kappa_star = 0.02
lambda_star = 0.09
OCR = 1
n0 = 0.5
[[tests]]
name = "OED1"
type = "oedometer"
initial_vertical_stress = 25
initial_horizontal_stress = 15
vertical_stress = [50, 100, 200, 400, 800, 200]
steps = 40
"""

CYCLIC = """
[model]
name = "ubc3d_sand"
drainage = "undrained"
[parameters]
KGe = 1000
KBe = 700
KGp = 150
ne = 0.5
me = 0.5
np = 0.4
pref = 100
phi_cv = 33
phi_p = 36
Rf = 0.8
fdens = 1
fEpost = 1
N160 = 8
n0 = 0.4
slot_103 = 1
[[tests]]
name = "CTX"
type = "cyclic_triaxial"
cell_pressure = 100
deviator_amplitude = 15
cycles = 4
steps = 20
"""


def simulate(toml_text, folder):
    job = os.path.join(folder, "gen.toml")
    with open(job, "w") as f:
        f.write(toml_text)
    native = os.path.join(folder, "native")
    subprocess.run([SOILCAL, "--write-native", native, job], check=True, capture_output=True)
    return native


def number(v, comma):
    text = "%.6f" % v
    return text.replace(".", ",") if comma else text


def write_gds(path, run, sigma3, comma, crlf, latin1):
    """Stage 1 consolidation at sigma3 (no strain), stage 2 the simulated shear."""
    nl = "\r\n" if crlf else "\n"
    cube = "mm\u00b3"
    height, diameter, back = 100.0, 50.0, 300.0
    volume = math.pi / 4 * diameter ** 2 * height
    rows = ['"Test Name","%s"' % os.path.basename(path),
            '"Initial Height (mm)","%s"' % number(height, comma),
            '"Initial Diameter (mm)","%s"' % number(diameter, comma),
            '"Start of Repeated Data","9"']
    rows.append(",".join('"%s"' % c for c in [
        "Stage Number", "Time since start of test (s)", "Radial Pressure (kPa)",
        "Back Pressure (kPa)", "Back Volume (%s)" % cube, "Pore Pressure (kPa)",
        "Axial Strain (%)", "Deviator Stress (kPa)", "Volume Change (%s)" % cube]))
    time = 0.0
    for _ in range(3):
        time += 600
        rows.append(",".join('"%s"' % number(v, comma) for v in
                             [1, time, back + sigma3, back, 0, back, 0, 0, 0]))
    strain, stress = run["strain"], run["stress"]
    for i in range(len(run["time"])):
        time += 60
        ea = -strain[i][1]
        ev = -(strain[i][0] + strain[i][1] + strain[i][2])
        q = stress[i][0] - stress[i][1]
        dv = -ev * volume
        rows.append(",".join('"%s"' % number(v, comma) for v in
                             [2, time, back + sigma3, back, dv, back, 100 * ea, q, dv]))
    text = nl.join(rows) + nl
    with open(path, "wb") as f:
        f.write(text.encode("cp1252" if latin1 else "utf-8"))


def write_ags(path, run, e1):
    """CONG and CONS of one specimen: the void ratio at each phase's end."""
    strain, stress, phase = run["strain"], run["stress"], run["phase"]
    ends = [i for i in range(1, len(phase)) if i + 1 == len(phase) or phase[i + 1] != phase[i]]
    points = [(-stress[0][1], 0.0)] + [(-stress[i][1], -strain[i][1]) for i in ends]
    q = lambda cells: ",".join('"%s"' % c for c in cells)
    lines = [q(["GROUP", "CONG"]),
             q(["HEADING", "LOCA_ID", "SAMP_TOP", "SAMP_REF", "SPEC_REF", "SPEC_DPTH", "CONG_TYPE",
                "CONG_IVR", "CONG_REM"]),
             q(["UNIT", "", "m", "", "", "m", "", "", ""]),
             q(["TYPE", "ID", "2DP", "X", "X", "2DP", "PA", "2DP", "X"]),
             q(["DATA", "BH1", "3.00", "U1", "1", "3.10", "OED", "%.4f" % (e1 + 0.02),
                "made by soilcal's own simulation\r\n(soft soil model)"]),
             "",
             q(["GROUP", "CONS"]),
             q(["HEADING", "LOCA_ID", "SAMP_TOP", "SAMP_REF", "SPEC_REF", "SPEC_DPTH", "CONS_INCN",
                "CONS_IVR", "CONS_INCF", "CONS_INCE"]),
             q(["UNIT", "", "m", "", "", "m", "", "", "kPa", ""]),
             q(["TYPE", "ID", "2DP", "X", "X", "2DP", "X", "4DP", "1DP", "4DP"])]
    e_start = e1 + 0.02
    for n, (sv, ea) in enumerate(points, start=1):
        e = e1 - (1 + e1) * ea
        lines.append(q(["DATA", "BH1", "3.00", "U1", "1", "3.10", str(n), "%.6f" % e_start,
                        "%.4f" % sv, "%.6f" % e]))
        e_start = e
    with open(path, "wb") as f:
        f.write(("\ufeff" + "\r\n".join(lines) + "\r\n").encode("utf-8"))


def write_cyclic_ags(path, run, cell, back):
    """CTRG, CTRC (the end of consolidation) and CTRD (every recorded point:
    cycles, deviator, pore pressure over the back pressure, axial strain)."""
    strain, stress, pw = run["strain"], run["stress"], run["pore_pressure"]
    q = lambda cells: ",".join('"%s"' % c for c in cells)
    key = ["BH2", "6.00", "U3", "1", "6.20"]
    keys = ["LOCA_ID", "SAMP_TOP", "SAMP_REF", "SPEC_REF", "SPEC_DPTH"]
    lines = [q(["GROUP", "CTRG"]), q(["HEADING"] + keys + ["CTRG_TYPE", "CTRG_REM"]),
             q(["UNIT", "", "m", "", "", "m", "", ""]),
             q(["TYPE", "ID", "2DP", "X", "X", "2DP", "X", "X"]),
             q(["DATA"] + key + ["stress controlled", "made by soilcal's own simulation"]), "",
             q(["GROUP", "CTRC"]), q(["HEADING"] + keys + ["CTRC_CELL", "CTRC_PWP"]),
             q(["UNIT", "", "m", "", "", "m", "kPa", "kPa"]),
             q(["TYPE", "ID", "2DP", "X", "X", "2DP", "1DP", "1DP"]),
             q(["DATA"] + key + ["%.1f" % (back + cell), "%.1f" % back]), "",
             q(["GROUP", "CTRD"]),
             q(["HEADING"] + keys + ["CTRD_CYCN", "CTRD_DEVS", "CTRD_PWP", "CTRD_AXST"]),
             q(["UNIT", "", "m", "", "", "m", "", "kPa", "kPa", "%"]),
             q(["TYPE", "ID", "2DP", "X", "X", "2DP", "X", "3DP", "3DP", "5DP"])]
    for i, t in enumerate(run["time"]):
        lines.append(q(["DATA"] + key + ["%.10g" % t, "%.6f" % (stress[i][0] - stress[i][1]),
                                         "%.6f" % (back - pw[i]), "%.8f" % (-100 * strain[i][1])]))
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("utf-8"))


def main():
    folder = tempfile.mkdtemp()
    try:
        native = simulate(TRIAXIAL, folder)
        write_gds(os.path.join(HERE, "lab", "CD100.gds"), soilcal.simulate(
            os.path.join(native, "CD100.VLT")), 100.0, comma=True, crlf=True, latin1=True)
        write_gds(os.path.join(HERE, "lab", "CD200.gds"), soilcal.simulate(
            os.path.join(native, "CD200.VLT")), 200.0, comma=False, crlf=False, latin1=False)
        native = simulate(OEDOMETER, folder)
        write_ags(os.path.join(HERE, "lab", "site.ags"),
                  soilcal.simulate(os.path.join(native, "OED1.VLT")), e1=1.1)
        native = simulate(CYCLIC, folder)
        write_cyclic_ags(os.path.join(HERE, "lab", "cyclic.ags"),
                         soilcal.simulate(os.path.join(native, "CTX.VLT")), 100.0, 300.0)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
