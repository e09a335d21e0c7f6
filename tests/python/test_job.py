"""soilcal.Job: the free parameters, the objective and the curves of a job
as the program computes them."""

import csv
import math
import os
import threading

import numpy as np
import pytest

import soilcal
from conftest import copy_example, program, result_sections, run_program


def test_native_job_evaluates_the_result_files_best_point_to_its_relative_error(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    optim = os.path.join(folder, "OPTIM.TXT")
    done = run_program([program("soilcal"), optim], folder)
    assert done.returncode == 0, done.stderr
    result = result_sections(os.path.join(folder, "Optimization_result.txt"))

    job = soilcal.Job(optim)
    assert job.free_parameters == ["Gref", "phi"]  # the result file's names
    assert job.bounds == [(5000.0, 60000.0), (0.4, 0.72)]  # OPTIM.TXT
    np.testing.assert_array_equal(job.start, [15000.0, 0.5])  # TRIAX1.VLT
    best = [result["Params"][name] for name in job.free_parameters]
    e = job.evaluate(best)
    assert e["status"] == 0 and e["reason"] is None
    # The result file prints the best values and the error as round-trip
    # text, so the same evaluation gives the same error to the last bits.
    assert e["mean_relative_error"] == pytest.approx(
        result["Objective info"]["Relative Error"], rel=1e-12)
    # A point outside the sine's range is refused before any simulation.
    refused = job.evaluate([20000.0, 1.2])
    assert refused["status"] == 1 and refused["reason"]

    # The curves at the start and at the best point are the files the run
    # wrote beside the measured ones.
    for x, suffix in ((None, "_referenced"), (best, "_calculated")):
        tests = job.curves(x)
        assert [t["test"] for t in tests] == ["TRIAX1.VLT"]
        curves = tests[0]["curves"]
        assert [c["file"] for c in curves] == ["Q_EPS.TXT", "EV_EPS.TXT"]
        for c in curves:
            rows = np.loadtxt(os.path.join(folder, c["file"] + suffix), skiprows=1)
            np.testing.assert_allclose(c["simulated_x"], rows[:, 0], rtol=1e-14, atol=1e-300)
            np.testing.assert_allclose(c["simulated_y"], rows[:, 1], rtol=1e-14, atol=1e-300)
            # Codes, segment flag and count, point count, then the points.
            measured = np.loadtxt(os.path.join(folder, c["file"]), skiprows=4)
            np.testing.assert_array_equal(c["measured_x"], measured[:, 0])
            np.testing.assert_array_equal(c["measured_y"], measured[:, 1])


def write_phi_job(folder):
    """A TOML job with the friction angle free in degrees and E given for G."""
    copy_example("sand_triaxial", folder)
    path = os.path.join(str(folder), "phi.toml")
    with open(os.path.join(str(folder), "job.toml")) as f:
        text = f.read()
    text = text.replace("G = 15000\n", "E = 37500\n")
    text = text.replace("phi = [23.58, 46.05]", "phi = [25, 45]")
    with open(path, "w") as f:
        f.write(text)
    return path


def test_toml_job_speaks_in_its_own_names_and_units(tmp_path):
    toml = write_phi_job(tmp_path / "sand")
    job = soilcal.Job(toml)
    assert job.free_parameters == ["G", "phi"]
    assert job.units == {"G": "kPa", "phi": "°"}
    assert job.bounds[1] == (25.0, 45.0)  # degrees, as the job file gives them
    assert job.start[0] == pytest.approx(15000.0)  # G = E / (2 (1 + nu))
    assert job.start[1] == pytest.approx(30.0, abs=1e-12)
    # Nothing is written beside the job file by opening it.
    assert not os.path.exists(os.path.join(str(tmp_path / "sand"), "phi.out"))

    # The same point through the native job, slot values: sin(35 deg).
    native = tmp_path / "native"
    done = run_program([program("soilcal"), "--write-native", str(native), toml], str(tmp_path))
    assert done.returncode == 0, done.stderr
    os.remove(native / "job_language.json")  # the native job without its names
    plain = soilcal.Job(native / "OPTIM.TXT")
    assert plain.free_parameters == ["Gref", "phi"]
    in_degrees = job.evaluate({"G": 21000.0, "phi": 35.0})
    as_sine = plain.evaluate([21000.0, math.sin(math.radians(35.0))])
    assert in_degrees["objective"] == pytest.approx(as_sine["objective"], rel=1e-12)
    assert in_degrees["mean_relative_error"] == pytest.approx(as_sine["mean_relative_error"],
                                                              rel=1e-12)
    # A mapping leaves the parameters it does not name at their start.
    assert job.evaluate({"phi": 35.0}) == job.evaluate([job.start[0], 35.0])


def test_toml_curves_are_in_the_job_quantities_and_read_the_csv_files(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    job = soilcal.Job(os.path.join(folder, "job.toml"))
    tests = job.curves()
    curve = tests[0]["curves"][0]
    assert (curve["x_name"], curve["y_name"]) == ("axial_strain", "deviator_stress")
    with open(os.path.join(folder, "TRIAX1_Q_EPS.csv")) as f:
        rows = list(csv.DictReader(f))
    np.testing.assert_allclose(curve["measured_x"], [float(r["axial_strain"]) for r in rows],
                               rtol=1e-15)
    np.testing.assert_allclose(curve["measured_y"], [float(r["deviator_stress"]) for r in rows],
                               rtol=1e-15)
    # Compression positive: the simulated axial strain grows to +5 % and the
    # elastic deviator is E * eps_a, E = 37500 kPa (solver tolerance 1e-2).
    assert curve["simulated_x"][-1] == pytest.approx(0.05, rel=1e-12)
    assert curve["simulated_y"][1] == pytest.approx(37500.0 * curve["simulated_x"][1], rel=1e-2)
    volumetric = tests[0]["curves"][1]
    assert volumetric["y_name"] == "volumetric_strain"
    # Elastic contraction first (nu = 0.25 < 0.5): positive volumetric strain.
    assert volumetric["simulated_y"][1] > 0


def test_wrong_vectors_and_missing_jobs_raise(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    job = soilcal.Job(folder)  # a job folder stands for its OPTIM.TXT
    assert job.path.endswith("OPTIM.TXT")
    with pytest.raises(ValueError, match="2 free parameters"):
        job.evaluate([1.0])
    with pytest.raises(ValueError):
        job.evaluate({"psi": 0.1})
    with pytest.raises(FileNotFoundError) as error:
        soilcal.Job(tmp_path / "none" / "OPTIM.TXT")
    assert "none" in str(error.value)
    os.remove(os.path.join(folder, "EV_EPS.TXT"))
    with pytest.raises(soilcal.RunError) as error:
        soilcal.Job(os.path.join(folder, "OPTIM.TXT"))
    assert error.value.exit_code == 10
    assert isinstance(error.value, FileNotFoundError)
    assert "CURVE_FILE_NOT_FOUND" in str(error.value)


def test_two_jobs_evaluate_at_once_from_two_python_threads(tmp_path):
    sand = soilcal.Job(copy_example("sand_triaxial", tmp_path / "sand"))
    toml = soilcal.Job(write_phi_job(tmp_path / "phi"))
    points = {sand: [[20000.0, 0.5], [30000.0, 0.6], [45000.0, 0.7]],
              toml: [[15000.0, 30.0], [25000.0, 36.0], [35000.0, 42.0]]}
    alone = {job: [job.evaluate(x)["objective"] for x in xs] for job, xs in points.items()}
    together = {sand: [], toml: []}

    def work(job):
        for _ in range(4):
            together[job].extend(job.evaluate(x)["objective"] for x in points[job])

    threads = [threading.Thread(target=work, args=(job,)) for job in points]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for job in points:
        assert together[job] == alone[job] * 4
    assert alone[sand] != alone[toml]


def test_a_library_model_is_named_as_its_library_describes_it(tmp_path):
    # The hypoplastic sand library declares hs (a stress), n, alpha and beta;
    # the example's start error is the one the program reports (17.06 % over
    # the deviator and the volumetric curves, each test from its own void
    # ratio).
    folder = copy_example("hypoplastic_sand", tmp_path / "hypo")
    job = soilcal.Job(os.path.join(folder, "job.toml"))
    assert job.free_parameters == ["hs", "n", "alpha", "beta"]
    assert job.units == {"hs": "kPa", "n": "", "alpha": "", "beta": ""}
    assert job.start == pytest.approx([4.0e6, 0.27, 0.14, 2.5], rel=1e-15)
    start = job.evaluate(job.start)
    assert start["mean_relative_error"] == pytest.approx(17.06, abs=0.005)
