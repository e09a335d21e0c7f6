"""soilcal.derive: start values read off measured curves, from Python
curves and from a TOML job, the same numbers soilcal new writes."""

import math
import os

import numpy as np
import pytest

import soilcal
from conftest import copy_example, program, run_program


def hyperbola_test(cell_pressure, e50ref=20000.0, m=0.5, phi=35.0, rf=0.9):
    """Duncan-Chang q(eps1) of a sand with E50 = E50ref (s3/100)^m."""
    s = math.sin(math.radians(phi))
    qf = 2.0 * cell_pressure * s / (1.0 - s)
    qa = qf / rf
    ei = 2.0 * e50ref * (cell_pressure / 100.0) ** m / (2.0 - rf)
    eps = np.linspace(0.0, 0.15, 3001)
    q = np.minimum(eps / (1.0 / ei + eps / qa), qf)
    return {"name": "TX%d" % cell_pressure, "type": "triaxial_compression",
            "cell_pressure": cell_pressure,
            "curves": [{"x": "axial_strain", "y": "deviator_stress",
                        "x_values": eps, "y_values": q}]}


def test_hardening_soil_from_python_curves_gives_back_the_parameters_they_were_made_with():
    d = soilcal.derive("hardening_soil", [hyperbola_test(p) for p in (50.0, 100.0, 200.0)])
    p = d["parameters"]
    assert d["model"] == "hardening_soil"
    assert p["phi"]["value"] == pytest.approx(35.0, abs=1e-6)
    assert p["m"]["value"] == pytest.approx(0.5, abs=0.005)
    assert p["E50ref"]["value"] == pytest.approx(20000.0, rel=0.005)
    assert p["Rf"]["value"] == pytest.approx(0.9, abs=1e-6)
    lower, upper = p["E50ref"]["bounds"]
    assert lower < p["E50ref"]["value"] < upper
    # Not measured: a stated default, fixed, with the reason.
    assert p["Eurref"]["free"] is False and "no unloading" in p["Eurref"]["rule"]
    assert p["psi"]["bounds"] is None


def test_a_toml_job_gives_the_numbers_soilcal_new_writes(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    d = soilcal.derive("mohr_coulomb", os.path.join(folder, "job.toml"))
    # The example's curves are the closed-form response of G = 24000 kPa,
    # nu = 0.25 and psi = 8 deg at one cell pressure.
    assert d["parameters"]["G"]["value"] == pytest.approx(24000.0, rel=1e-6)
    assert d["parameters"]["psi"]["value"] == pytest.approx(8.0, abs=0.01)
    made = run_program([program("soilcal"), "new", "mohr_coulomb", "job.toml", "-o", "new.toml"],
                       folder)
    assert made.returncode == 0, made.stderr
    text = open(os.path.join(folder, "new.toml"), encoding="utf-8").read()
    assert "\nG = 24000  #" in text


def test_ubc3d_takes_the_state_of_the_sand():
    # e halfway between emin and emax: Dr = 0.5, (N1)60 = 46 * 0.25 = 11.5,
    # then K_G^e = 21.7 * 20 * 11.5^0.333 = 978.82 (Beaty & Byrne 2011).
    d = soilcal.derive("ubc3d_sand", [hyperbola_test(100.0)], void_ratio=0.75, emin=0.6,
                       emax=0.9)["parameters"]
    assert d["N160"]["value"] == pytest.approx(11.5, rel=1e-12)
    assert d["KGe"]["value"] == pytest.approx(978.82, abs=0.01)
    given = soilcal.derive("ubc3d_sand", [hyperbola_test(100.0)], n160=27)["parameters"]
    assert given["KGe"]["value"] == pytest.approx(1300.57, abs=0.01)
    assert given["KGe"]["free"] is True


def test_mistakes_are_python_errors(tmp_path):
    with pytest.raises(ValueError, match="unknown test type"):
        soilcal.derive("mohr_coulomb", [{"type": "shear_box"}])
    with pytest.raises(ValueError, match="no start-value rules"):
        soilcal.derive("sekiguchi_ohta", [hyperbola_test(100.0)])
    with pytest.raises(FileNotFoundError):
        soilcal.derive("mohr_coulomb", str(tmp_path / "missing.toml"))
    bad = hyperbola_test(100.0)
    bad["curves"][0]["y_values"] = bad["curves"][0]["y_values"][:-1]
    with pytest.raises(ValueError, match="differ in length"):
        soilcal.derive("mohr_coulomb", [bad])
