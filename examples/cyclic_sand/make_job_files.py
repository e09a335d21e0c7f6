#!/usr/bin/env python3
"""Writes the cyclic sand example: two undrained cyclic direct simple shear
tests of a medium dense sand (UBC3D sand, model 34) at cyclic stress ratios
0.2 and 0.25, with the measured curves of the excess pore pressure against
the number of cycles made by the program from the known parameters
(K_G^p 150, f_dens 1), and test files that start 30 % off (K_G^p 105,
f_dens 1.3); beside them the same r_u curves as the CSV files of the TOML
job job.toml (CDSS20_ru.csv, CDSS25_ru.csv). Also draws LIQUEFACTION.svg,
r_u against the number of cycles.

The phases follow the cyclic simple shear of input/cyclic_tests.hpp: a
quarter cycle to +tau, half cycles of -2 tau and +2 tau, a last quarter back
to zero; time 0.25 per quarter and 0.5 per half cycle, so the time is the
number of cycles; the vertical total stress held, no horizontal strain, the
shear stress prescribed, an undrained set (model variant 1). The curve
files give code 10 (time = N) and code -7 (excess pore pressure
= r_u x sigma'_v0), one segment per phase; the CSV files give the phase, N
and r_u of the same points.

Run from the repository root after a build:
    python3 examples/cyclic_sand/make_job_files.py
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LABTEST = os.path.join(HERE, "..", "..", "build", "soilcal-labtest")

SIGMA_V = 100.0      # initial vertical effective stress, kPa
K0 = 0.5
CYCLES = 4
STEPS = 12           # load steps per half cycle (half of them per quarter)
TESTS = [("CDSS20.VLT", "RU_CDSS20.TXT", 0.20), ("CDSS25.VLT", "RU_CDSS25.TXT", 0.25)]
# Medium dense sand: K_G^e, K_B^e, K_G^p, ne, pref, me, np, phi_cv, phi_p,
# Rf, f_dens, f_Epost, (N1)60; porosity 0.4.
SAND = {20: 0.4, 31: 1000.0, 32: 700.0, 33: 300.0, 34: 0.5, 35: 100.0, 36: 0.5, 37: 0.4,
        38: 33.0, 39: 36.0, 40: 0.8, 41: 1.0, 42: 1.0, 43: 8.0, 103: 1.0}
SAND[33] = 150.0

START = {33: 105.0, 41: 1.3}


def phases(csr):
    tau = csr * SIGMA_V
    quarter = max(STEPS // 2, 1)
    out = [(quarter, 0.25, tau)]
    out += [(STEPS, 0.5, -2 * tau if k % 2 == 1 else 2 * tau) for k in range(1, 2 * CYCLES)]
    out.append((quarter, 0.25, tau))
    return out


def test_file(csr, params):
    lines = ["Undrained cyclic simple shear, CSR %.2f, sigma'v0 100 kPa, K0 0.5" % csr, "6",
             "units: force, length, time", "kN", "m", "day", "", "10", "", "", "Material", "34",
             "Medium dense sand (UBC3D)"] + [""] * 7
    lines += [repr(float(params.get(k, 0.0))) for k in range(1, 201)]
    lines += ["Test", "1", "1", "0.0025", "1", "200", "0", "0", "0",
              "%r %r %r 0 0 0" % (-K0 * SIGMA_V, -SIGMA_V, -K0 * SIGMA_V)]
    ph = phases(csr)
    lines.append(str(len(ph)))
    for steps, time, dtau in ph:
        lines += [str(steps), str(time), "0 0 0 0 0 0", "0 0 0 %r 0 0" % dtau, "0 1 0 1 1 1"]
    return "\n".join(lines) + "\n"


def simulate(path):
    run = subprocess.run([LABTEST, path], capture_output=True, text=True, check=True)
    rows = [list(map(float, l.split())) for l in run.stdout.splitlines() if not l.startswith("#")]
    return rows


def main():
    if not os.path.exists(LABTEST):
        sys.exit("build soilcal-labtest first (cmake --build build)")
    known, start = dict(SAND), dict(SAND)
    start.update(START)
    histories = []
    for vlt, curve, csr in TESTS:
        path = os.path.join(HERE, vlt)
        with open(path, "w") as f:
            f.write(test_file(csr, known))
        rows = simulate(path)
        with open(path, "w") as f:
            f.write(test_file(csr, start))
        # Columns: point phase time eps(6) sig(6) pw; one segment per phase.
        # The program compares phase p with its recorded points
        # first(p)..last(p), first(p) = 1 + sum over q < p of (steps_q + 1)
        # for p > 1 and last(p) = 1 + sum over q <= p of steps_q, and shifts
        # the simulated phase onto the first measured point of its segment:
        # the measured segments take exactly those points.
        # r_u = -pw / sigma'_v0 is what the CSV file of the TOML job holds;
        # the native file holds r_u * sigma'_v0, the very product the TOML
        # job's writer forms, so that both jobs fit the same numbers.
        steps = [st for st, _, _ in phases(csr)]
        segments = []
        for p in range(1, len(steps) + 1):
            first = 1 if p == 1 else 1 + sum(q + 1 for q in steps[:p - 1])
            last = 1 + sum(steps[:p])
            segments.append([(r[2], -r[15] / SIGMA_V) for r in rows if first <= int(r[0]) <= last])
        n = len(segments)
        text = "10 -7\n%d\n1\n" % n + "".join("%d\n" % len(s) for s in segments)
        text += "".join("%r %r\n" % (t, ru * SIGMA_V) for s in segments for t, ru in s)
        with open(os.path.join(HERE, curve), "w") as f:
            f.write(text)
        csv = "phase,cycles,excess_pore_pressure_ratio\n"
        csv += "".join("%d,%r,%r\n" % (p + 1, t, ru + 0.0) for p, s in enumerate(segments)
                       for t, ru in s)
        with open(os.path.join(HERE, vlt.replace(".VLT", "_ru.csv")), "w") as f:
            f.write(csv)
        histories.append((csr, [(r[2], -r[15] / SIGMA_V) for r in rows]))
    with open(os.path.join(HERE, "OPTIM.TXT"), "w") as f:
        f.write("2\n1\n0.001\n33\n41\n75 300\n0.5 2\n%d\n" % len(TESTS))
        for vlt, curve, _ in TESTS:
            f.write("%s 1\n%s\n" % (vlt, curve))
    draw(histories)


def draw(histories):
    """r_u against N for each test, as a small SVG."""
    w, h, left, bottom, top, right = 640, 400, 60, 50, 20, 30
    nmax = max(t for _, hist in histories for t, _ in hist)
    sx = lambda t: left + (w - left - right) * t / nmax
    sy = lambda r: h - bottom - (h - top - bottom) * r
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="13">' % (w, h),
           '<rect width="100%" height="100%" fill="white"/>']
    for r in (0.0, 0.25, 0.5, 0.75, 1.0):
        svg.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>'
                   % (left, sy(r), w - right, sy(r)))
        svg.append('<text x="%d" y="%.1f" text-anchor="end">%.2f</text>' % (left - 6, sy(r) + 4, r))
    for n in range(0, int(round(nmax)) + 1):
        svg.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (sx(n), h - bottom + 18, n))
    svg.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="black"/>'
               % (left, sy(0), w - right, sy(0)))
    svg.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="black"/>'
               % (left, sy(0), left, sy(1)))
    svg.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#c00" stroke-dasharray="6 4"/>'
               % (left, sy(0.9), w - right, sy(0.9)))
    svg.append('<text x="%d" y="%.1f" fill="#c00">r_u = 0.9</text>' % (left + 280, sy(0.9) - 6))
    svg.append('<text x="%d" y="%d" text-anchor="middle">number of cycles N</text>'
               % ((left + w - right) // 2, h - 10))
    svg.append('<text x="16" y="%d" transform="rotate(-90 16 %d)" text-anchor="middle">'
               'excess pore pressure ratio r_u</text>' % (h // 2, h // 2))
    colours = ["#1f77b4", "#ff7f0e"]
    for k, ((csr, hist), colour) in enumerate(zip(histories, colours)):
        pts = " ".join("%.1f,%.1f" % (sx(t), sy(max(r, 0.0))) for t, r in hist)
        svg.append('<polyline fill="none" stroke="%s" stroke-width="1.5" points="%s"/>' % (colour, pts))
        y = top + 14 + 18 * k
        svg.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-width="2"/>'
                   % (left + 14, y - 4, left + 40, y - 4, colour))
        svg.append('<text x="%d" y="%d">cyclic stress ratio %.2f</text>' % (left + 46, y, csr))
    svg.append("</svg>")
    with open(os.path.join(HERE, "LIQUEFACTION.svg"), "w") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
