"""soilcal.simulate against soilcal-labtest and closed-form Mohr-Coulomb."""

import math
import os

import numpy as np
import pytest

import soilcal
from conftest import copy_example, program, run_program


def labtest_table(path, cwd):
    """The point table soilcal-labtest prints: one row of 16 numbers a point."""
    done = run_program([program("soilcal-labtest"), path], cwd)
    assert done.returncode == 0, done.stderr
    rows = [list(map(float, line.split())) for line in done.stdout.splitlines()
            if line and not line.startswith("#")]
    return np.array(rows)


def test_simulate_gives_the_numbers_soilcal_labtest_prints_and_the_closed_form(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    test_file = os.path.join(folder, "TRIAX1.VLT")
    table = labtest_table(test_file, folder)
    r = soilcal.simulate(test_file)

    assert r["status"] == 0 and r["kernel_error"] is None
    n = len(table)
    assert n == 101  # the initial point and 100 load steps
    assert r["strain"].shape == (n, 6) and r["stress"].shape == (n, 6)
    # The program prints the shortest text that reads back as the same
    # double: the arrays must be those doubles exactly.
    np.testing.assert_array_equal(r["phase"], table[:, 1])
    np.testing.assert_array_equal(r["time"], table[:, 2])
    np.testing.assert_array_equal(r["strain"], table[:, 3:9])
    np.testing.assert_array_equal(r["stress"], table[:, 9:15])
    np.testing.assert_array_equal(r["pore_pressure"], table[:, 15])

    # Tension positive: the cell pressure of 100 kPa is a radial stress of
    # -100 throughout (held by the mixed-control iteration to well within
    # its tolerance of 1e-2), the axial strain ends at -5 %.
    np.testing.assert_allclose(r["stress"][:, 0], -100.0, rtol=1e-3)
    assert r["strain"][-1, 1] == pytest.approx(-0.05, rel=1e-12)
    # Elastic start: q = E * eps_a with E = 2 G (1 + nu) = 37500 kPa (the
    # step solver converges to its tolerance of 1e-2 relative at most).
    q = r["stress"][:, 0] - r["stress"][:, 1]
    eps_a = -r["strain"][:, 1]
    assert q[1] == pytest.approx(37500.0 * eps_a[1], rel=1e-2)
    # Failure at the Mohr-Coulomb envelope: sigma1 = sigma3 (1 + sin phi) /
    # (1 - sin phi) + 2 c cos phi / (1 - sin phi), sin phi = 0.5, c = 1.
    s = 0.5
    sigma1 = 100.0 * (1 + s) / (1 - s) + 2 * 1.0 * math.sqrt(1 - s * s) / (1 - s)
    assert q[-1] == pytest.approx(sigma1 - 100.0, rel=1e-3)


def test_simulate_names_a_missing_file_and_prints_nothing(tmp_path, capfd):
    missing = tmp_path / "NOPE.VLT"
    with pytest.raises(FileNotFoundError) as error:
        soilcal.simulate(missing)
    assert str(missing) in str(error.value)

    folder = copy_example("sand_triaxial", tmp_path / "sand")
    r = soilcal.simulate(os.path.join(folder, "TRIAX1.VLT"))
    assert r["console"].startswith(" Header line Drained triaxial compression")
    out, err = capfd.readouterr()
    assert out == "" and err == ""
