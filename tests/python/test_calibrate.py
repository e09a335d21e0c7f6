"""soilcal.calibrate: the program's run, its files and its outcome, from
Python."""

import json
import math
import os
import shutil
import re
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy
import pytest

import soilcal
from conftest import BUILD_DIR, copy_example, program, result_sections, run_program, \
    slow_sand_job

TIMING = re.compile(r"Wall Time|CPU Time|wall_time_ms|wall_time_s|cpu_time_s|Wall time|CPU time")
# What the program's front end writes beside the run and a library call does
# not: the console log of a TOML job's run.
FRONT_END_ONLY = {"soilcal_console.log"}


def outputs(folder, root=None):
    """Every file a run wrote into `folder`, timing lines left out and the
    job's own folder `root` (which the summary and report name) as ROOT."""
    files = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or name in FRONT_END_ONLY:
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        if root is not None:
            text = text.replace(str(root), "ROOT")
        files[name] = [line for line in text.splitlines() if not TIMING.search(line)]
    return files


def test_calibrate_writes_the_files_of_the_program_and_returns_its_outcome(tmp_path):
    cli = copy_example("sand_triaxial", tmp_path / "cli")
    py = copy_example("sand_triaxial", tmp_path / "py")
    done = run_program([program("soilcal"), os.path.join(cli, "job.toml")], cli)
    assert done.returncode == 0, done.stderr

    result = soilcal.calibrate(os.path.join(py, "job.toml"))
    assert result.exit_code == 0 and result.kernel_error is None
    assert result.folder == os.path.join(py, "job.out")
    assert outputs(result.folder, py) == outputs(os.path.join(cli, "job.out"), cli)

    sections = result_sections(result.result_path)
    # A TOML job's own names; G in kPa as the slot holds it, phi in degrees
    # where the result file keeps its sine.
    assert list(result.parameters) == ["G", "phi"]
    assert result.parameters["G"] == pytest.approx(sections["Params"]["Gref"], rel=1e-15)
    assert math.sin(math.radians(result.parameters["phi"])) == pytest.approx(
        sections["Params"]["phi"], rel=1e-14)
    assert result.sensitivities["phi"] == pytest.approx(
        sections["Relative Sensitivity"]["phi"], rel=1e-15)
    assert result.mean_relative_error == pytest.approx(
        sections["Objective info"]["Relative Error"], rel=1e-15)
    assert result.summary["evaluations"] == result.evaluations > 0
    assert result.summary["best"]["objective"] == result.objective
    assert result.units == {"G": "kPa", "phi": "°"}
    assert os.path.basename(result.report_path) == "calibration_report.html"


def test_one_and_two_threads_write_the_same_files(tmp_path):
    written = []
    for threads in (1, 2):
        folder = copy_example("sand_triaxial", tmp_path / ("t%d" % threads))
        result = soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"), threads=threads)
        assert result.exit_code == 0
        written.append(outputs(folder, folder))
    assert written[0] == written[1]
    with pytest.raises(ValueError):
        soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"), threads=0)
    # A number of threads given as text, a float or a bool is a type
    # mistake: TypeError naming the type, and no run.
    before = outputs(folder, folder)
    for wrong, name in (("2", "str"), (2.0, "float"), (True, "bool")):
        with pytest.raises(TypeError, match="threads must be an int.*not " + name):
            soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"), threads=wrong)
    assert outputs(folder, folder) == before


PHASES = ["reference_run", "starting_points", "iterations", "sensitivities", "final_run",
          "uncertainty", "profiles", "writing"]


def test_progress_tells_every_phase_at_most_ten_times_a_second_in_the_order_of_the_run(tmp_path):
    calls = []

    def progress(p):
        calls.append((time.monotonic(), dict(p)))

    job = slow_sand_job(tmp_path / "slow")
    result = soilcal.calibrate(job, progress=progress)
    assert result.exit_code == 0
    assert len(calls) >= 3, calls
    # Within a phase at most every 100 ms (less the clock's grain); a new
    # phase is told at once.
    gaps = [b[0] - a[0] for a, b in zip(calls, calls[1:]) if a[1]["phase"] == b[1]["phase"]]
    assert not gaps or min(gaps) >= 0.095
    reports = [p for _, p in calls]
    assert set(reports[0]) >= {"evaluations", "best_objective", "phase", "done", "total"}
    assert reports[0]["phase"] == "reference_run"
    ranks = [PHASES.index(p["phase"]) for p in reports]
    assert ranks == sorted(ranks)
    # Every phase of this run to its end: the linearised uncertainty after
    # the default search, then the writing of the summary and the report.
    told = [p["phase"] for p in reports]
    assert set(told) >= {"reference_run", "starting_points", "iterations", "final_run",
                         "uncertainty", "writing"}, told
    assert told[-1] == "writing"
    assert reports[-1]["evaluations"] >= result.evaluations
    counts = [p["evaluations"] for p in reports]
    assert counts == sorted(counts)
    found = [p["best_objective"] for p in reports if p["best_objective"] is not None]
    assert found and min(found) >= result.objective


def test_progress_counts_the_profile_sides_of_the_uncertainty_step(tmp_path):
    reports = []
    job = slow_sand_job(tmp_path / "slow", steps=300)
    result = soilcal.calibrate(job, uncertainty="profile", progress=lambda p: reports.append(dict(p)))
    assert result.exit_code == 0
    profiles = [p for p in reports if p["phase"] == "profiles"]
    assert profiles, [p["phase"] for p in reports]
    # Two free parameters, a low and a high side each.
    assert {p["total"] for p in profiles} == {4}
    done = [p["done"] for p in profiles]
    assert done == sorted(done) and 1 <= done[0] and done[-1] <= 4
    # The step's evaluations add to the search's.
    assert profiles[-1]["evaluations"] > result.evaluations
    assert reports[-1]["phase"] == "writing"
    assert all(p["done"] == 0 and p["total"] == 0 for p in reports if p["phase"] != "profiles")


def test_the_module_has_the_programs_version():
    done = run_program([program("soilcal"), "--version"], os.curdir)
    assert done.stdout == "soilcal %s\n" % soilcal.__version__
    assert re.fullmatch(r"\d+\.\d+\.\d+", soilcal.__version__)


def test_a_progress_callback_that_raises_stops_the_search_and_its_error_comes_back(tmp_path):
    job = slow_sand_job(tmp_path / "slow")

    def progress(p):
        if p["phase"] != "reference_run":
            raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        soilcal.calibrate(job, progress=progress)
    folder = os.path.join(str(tmp_path / "slow"), "job.out")
    sections = result_sections(os.path.join(folder, "Optimization_result.txt"))
    assert sections["General"]["Exit Code"] == 18  # ended as the abort file ends it
    assert os.path.exists(os.path.join(folder, "calibration_report.html"))


def test_the_gil_is_released_while_the_search_runs(tmp_path):
    job = slow_sand_job(tmp_path / "slow")
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.01)

    thread = threading.Thread(target=ticker)
    thread.start()
    started = time.monotonic()
    try:
        soilcal.calibrate(job)
    finally:
        stop.set()
        thread.join()
    elapsed = time.monotonic() - started
    assert elapsed > 0.3  # long enough for the count below to mean something
    during = [t for t in ticks if started < t < started + elapsed]
    # A thread that held the GIL would let the ticker run a few times at most.
    assert len(during) > 0.3 * elapsed / 0.01


def test_errors_are_exceptions_and_kernel_errors_are_not(tmp_path, capfd):
    with pytest.raises(FileNotFoundError) as error:
        soilcal.calibrate(tmp_path / "nowhere.toml")
    assert "nowhere.toml" in str(error.value)

    folder = copy_example("sand_triaxial", tmp_path / "bounds")
    optim = os.path.join(folder, "OPTIM.TXT")
    with open(optim) as f:
        text = f.read()
    with open(optim, "w") as f:
        f.write(text.replace("5000 60000", "60000 5000"))
    with pytest.raises(soilcal.RunError) as error:
        soilcal.calibrate(optim)
    assert error.value.exit_code == 14
    assert "exit code 14, MAT_PRM_UPPER_BOUND_ABOVE_LOWER" in error.value.message
    # The program's result file is written all the same.
    assert result_sections(os.path.join(folder, "Optimization_result.txt"))["General"][
        "Exit Code"] == 14
    assert error.value.result.exit_code == 14

    toml = os.path.join(copy_example("sand_triaxial", tmp_path / "toml"), "job.toml")
    with open(toml, "a") as f:
        f.write("\n[calibrate.unknown_table]\n")
    with pytest.raises(soilcal.RunError) as error:
        soilcal.calibrate(toml)
    assert error.value.exit_code == 12
    assert "job.toml" in error.value.message
    assert error.value.result.summary is None  # no run, no summary
    with pytest.raises(ValueError):
        soilcal.calibrate(toml, search="fastest")
    # Nothing of any of it printed unasked.
    out, err = capfd.readouterr()
    assert out == "" and err == ""


def test_a_second_run_in_the_same_folder_stops_without_writing_there(tmp_path, capfd):
    job = slow_sand_job(tmp_path / "slow")
    first = {}
    started = threading.Event()

    def run_first():
        first["result"] = soilcal.calibrate(job, progress=lambda p: started.set())

    thread = threading.Thread(target=run_first)
    thread.start()
    try:
        assert started.wait(30)
        with pytest.raises(soilcal.RunError) as error:
            soilcal.calibrate(job)
    finally:
        thread.join()
    assert error.value.exit_code == 12
    assert "another run is working in the job folder" in error.value.message
    assert error.value.result.summary is None and error.value.result.report_path is None
    # The first run was left alone and ended as usual.
    assert first["result"].exit_code == 0
    assert first["result"].summary["exit_code"] == 0
    out, err = capfd.readouterr()
    assert out == "" and err == ""


def test_verbose_passes_the_console_through(tmp_path, capsys):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    result = soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"), verbose=True)
    out, _ = capsys.readouterr()
    assert " Header line Drained triaxial compression" in out
    assert " ERROR = " in out
    assert all(line in result.console for line in out.splitlines())


def test_report_shows_in_a_notebook_and_curves_make_a_frame(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    result = soilcal.calibrate(os.path.join(folder, "job.toml"))
    page = result._repr_html_()
    assert page.count("<svg") >= 2  # the figures inline
    assert "div.soilcal-report h1" in page and "<body" not in page
    assert "body {" not in page  # the notebook keeps its own look

    pandas = pytest.importorskip("pandas")
    frame = result.curves_frame()
    assert isinstance(frame, pandas.DataFrame)
    assert set(frame["series"]) == {"measured", "start", "best"}
    q = frame[(frame["y_name"] == "deviator_stress")]
    measured = q[q["series"] == "measured"]
    best = q[q["series"] == "best"]
    assert len(measured) == 19 and len(best) == 101
    # The best curve is the "_calculated" CSV of the run.
    with open(os.path.join(result.folder, "TRIAX1_deviator_stress_calculated.csv")) as f:
        rows = [line.split(",") for line in f.read().splitlines()[1:]]
    assert list(best["y"]) == pytest.approx([float(r[1]) for r in rows], rel=1e-12, abs=1e-12)
    # The start curve is the "_referenced" CSV, the measured one the job's CSV
    # (compression positive, as the job gives it).
    start = q[q["series"] == "start"]
    with open(os.path.join(result.folder, "TRIAX1_deviator_stress_referenced.csv")) as f:
        rows = [line.split(",") for line in f.read().splitlines()[1:]]
    assert list(start["y"]) == pytest.approx([float(r[1]) for r in rows], rel=1e-12, abs=1e-12)
    assert list(best["phase"])[0] == 0 and set(best["phase"]) == {0, 1}
    with open(os.path.join(folder, "TRIAX1_Q_EPS.csv")) as f:
        rows = [line.split(",") for line in f.read().splitlines()[1:]]
    assert list(measured["x"]) == pytest.approx([float(r[0]) for r in rows], abs=1e-12)
    assert list(measured["y"]) == pytest.approx([float(r[1]) for r in rows], abs=1e-9)
    # The curves come from the run itself: with the job's files gone the
    # frame is the same.
    shutil.rmtree(folder)
    again = result.curves_frame()
    assert again.equals(frame)


def test_curves_frame_keeps_the_phases_of_a_test_of_two_phases(tmp_path):
    pandas = pytest.importorskip("pandas")
    folder = copy_example("soft_clay", tmp_path / "clay")
    result = soilcal.calibrate(os.path.join(folder, "job.toml"))
    frame = result.curves_frame()
    assert not frame[["x", "y"]].isna().any().any()  # the gaps between phases left out
    # The same curve simulated again at the best values: every recorded
    # point with its phase; the frame holds it as the objective compared it,
    # the unloading phase shifted by one constant onto its first measured point.
    job = soilcal.Job(result.native_job())
    again = job.curves([result.parameters[name] for name in job.free_parameters])
    curve = again[0]["curves"][0]
    best = frame[(frame["curve"] == curve["file"]) & (frame["series"] == "best")]
    assert list(best["phase"]) == [int(p) for p in curve["simulated_phase"]]
    assert set(best["phase"]) == {0, 1, 2}
    loading = numpy.asarray(best["phase"]) <= 1
    x, y = numpy.asarray(best["x"]), numpy.asarray(best["y"])
    sx, sy = numpy.asarray(curve["simulated_x"]), numpy.asarray(curve["simulated_y"])
    assert x[loading] == pytest.approx(sx[loading], rel=1e-9, abs=1e-12)
    assert y[loading] == pytest.approx(sy[loading], rel=1e-9, abs=1e-12)
    dx, dy = x[~loading] - sx[~loading], y[~loading] - sy[~loading]
    assert dx == pytest.approx(numpy.full(dx.size, dx[0]), abs=1e-9)
    assert dy == pytest.approx(numpy.full(dy.size, dy[0]), abs=1e-9)
    measured = frame[(frame["curve"] == curve["file"]) & (frame["series"] == "measured")]
    assert list(measured["phase"]) == [int(p) for p in curve["measured_phase"]]


CTRL_C_SCRIPT = textwrap.dedent("""
    import signal, sys, time
    import soilcal

    said = False

    def progress(p):
        global said
        if p["phase"] != "reference_run" and not said:
            said = True
            print("searching", flush=True)

    started = time.monotonic()
    try:
        soilcal.calibrate(sys.argv[1], progress=progress)
        print("not interrupted")
    except KeyboardInterrupt as interrupt:
        print("interrupted", interrupt.result.exit_code, round(time.monotonic() - started, 1))
        print("handler", signal.getsignal(signal.SIGINT) is signal.default_int_handler)
""")


def test_ctrl_c_stops_the_search_writes_the_files_and_raises_keyboard_interrupt(tmp_path):
    # A 4000-step test: a search of a second or more that the signal reaches
    # after its first starting point; exit code 18 can only come from the
    # interrupt.
    job = slow_sand_job(tmp_path / "slow", steps=4000)
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [os.path.join(BUILD_DIR, "python"), os.environ.get("PYTHONPATH", "")]))
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_SCRIPT, job], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=env)
    try:
        assert child.stdout.readline().strip() == "searching"
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        child.kill()
    assert child.returncode == 0, err
    words = out.split()
    assert words[:2] == ["interrupted", "18"], out
    assert "handler True" in out  # Python's own handler is back
    folder = os.path.join(str(tmp_path / "slow"), "job.out")
    assert result_sections(os.path.join(folder, "Optimization_result.txt"))["General"][
        "Exit Code"] == 18
    with open(os.path.join(folder, "calibration_summary.json")) as f:
        assert json.load(f)["exit_code"] == 18


def test_a_kernel_error_inside_a_test_is_part_of_the_result(tmp_path):
    # The user-model job with a model library that does not exist: the
    # model cannot be linked, a kernel error ends every simulation.
    folder = copy_example("udsm_job", tmp_path / "udsm")
    for name in ("TRIAX100.VLT", "TRIAX200.VLT"):
        path = os.path.join(folder, name)
        with open(path) as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(text.replace("usermod.dll", "nosuchmodel.dll"))
    optim = os.path.join(folder, "OPTIM.TXT")

    result = soilcal.calibrate(optim)
    assert result.exit_code is None
    assert "kernel error" in result.kernel_error and "TRIAX100.VLT" in result.kernel_error
    assert result.parameters == {} and result.mean_relative_error is None
    with open(result.result_path) as f:
        assert f.read().strip() == ""  # as the program leaves it
    assert result.summary["kernel_error"]

    job = soilcal.Job(optim)
    assert "kernel error" in job.kernel_error
    e = job.evaluate(job.start)
    assert e["status"] == 4 and "kernel error" in e["reason"]
    tests = job.curves()
    assert [t["status"] for t in tests] == [4, 4]
    assert len(tests[0]["curves"][0]["measured_x"]) > 0
    assert len(tests[0]["curves"][0]["simulated_x"]) == 0
    assert soilcal.simulate(os.path.join(folder, "TRIAX100.VLT"))["status"] == 4
