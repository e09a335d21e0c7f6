"""The exit codes, statuses and file names the package takes from the engine,
and the OptimizeResult fields of a calibration's result."""

import json
import os

import numpy
import pytest

import soilcal
from conftest import copy_example, program, result_sections, run_program


def test_exit_codes_are_those_the_program_writes_into_its_result_file(tmp_path):
    # Every failing run names its code in the "General" section: the names
    # the package gives must be the program's own, number for number.
    folder = copy_example("sand_triaxial", tmp_path / "job")
    os.remove(os.path.join(folder, "EV_EPS.TXT"))
    done = run_program([program("soilcal"), "--exit-status", os.path.join(folder, "OPTIM.TXT")],
                       folder)
    assert done.returncode == soilcal.ExitCode.CURVE_FILE_NOT_FOUND == 10
    with open(os.path.join(folder, soilcal.RESULT_FILE)) as f:
        lines = [line.strip() for line in f]
    assert "CURVE_FILE_NOT_FOUND = 10" in lines

    with pytest.raises(soilcal.RunError) as error:
        soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"))
    assert error.value.exit_code == soilcal.ExitCode.CURVE_FILE_NOT_FOUND
    assert isinstance(error.value, FileNotFoundError)  # a missing file of the job

    # The table is whole and in order: 0 success, 1 to 19 the run errors.
    assert [int(code) for code in soilcal.ExitCode] == list(range(20))
    assert soilcal.ExitCode(18).name == "USER_ABORT" and soilcal.USER_ABORT == 18
    assert soilcal.ExitCode(5).name == "UKNOWN_SEARCH_INTENSITY_GIVEN"
    assert soilcal.ExitCode.SUCCESS == 0


def test_the_result_has_the_fields_of_an_optimize_result(tmp_path):
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    result = soilcal.calibrate(os.path.join(folder, "job.toml"))
    assert os.path.basename(result.result_path) == soilcal.RESULT_FILE
    assert os.path.basename(result.report_path) == soilcal.REPORT_FILE
    # A TOML job's native job is written as the optimisation file in JOB.out/.
    assert result.native_job() == os.path.join(result.folder, soilcal.OPTIMISATION_FILE)
    assert os.path.isfile(result.native_job()) and soilcal.OPTIMISATION_FILE == "OPTIM.TXT"
    with open(os.path.join(result.folder, soilcal.SUMMARY_FILE)) as f:
        summary = json.load(f)

    assert result.success is True and result.status == 0 and result.message == "SUCCESS"
    assert isinstance(result.x, numpy.ndarray) and result.x.dtype == float
    # x in the order of the free parameters, the values the summary reports.
    assert list(result.x) == [p["best"] for p in summary["parameters"]]
    assert list(result.x) == list(result.parameters.values())
    assert result.fun == summary["best"]["objective"] == result.objective
    assert result.nfev == summary["search"]["evaluations"] > 0
    assert result.nit == summary["search"]["iterations"]
    sections = result_sections(result.result_path)
    assert sections["General"]["Exit Code"] == result.status


def test_the_summary_and_the_notebook_report_are_those_the_run_wrote(tmp_path):
    # Both come from the run's own record; the files are written from it too.
    folder = copy_example("sand_triaxial", tmp_path / "sand")
    result = soilcal.calibrate(os.path.join(folder, "OPTIM.TXT"))
    with open(os.path.join(result.folder, soilcal.SUMMARY_FILE)) as f:
        assert json.load(f) == result.summary
    with open(result.report_path, encoding="utf-8") as f:
        page = f.read()
    fragment = result._repr_html_()
    body = fragment[fragment.index("</style>") + len("</style>"):-len("</div>")]
    assert body.startswith("<h1>Calibration report") and body in page
