"""Calibrate soil constitutive models against laboratory tests from Python.

The same engine as the ``soilcal`` program: a job (a native optimisation file
with its lab-test and curve files, or a TOML job file) is simulated test by
test, and the search finds the parameters whose simulated curves fit the
measured ones best.

- ``simulate(test_file)`` runs one lab-test file with its own parameters.
- ``Job(path)`` opens a job without running it: its free parameters, bounds
  and start values, the objective of any parameter vector, the curves.
- ``calibrate(path)`` runs the whole calibration as ``soilcal PATH`` does
  (the same files, bit for bit) and returns a ``CalibrationResult``.
- ``derive(model, tests)`` reads start values and bounds off measured
  tests, as ``soilcal new`` does, and says how it found each.
- ``inspect(path)`` reads a laboratory's file (GDS export, AGS4 file, tidy
  table) as a TOML ``from`` test does, with its readings as numpy arrays.

Errors are exceptions: ``FileNotFoundError`` for a path that does not
exist, ``RunError`` (with the program's exit code) for a job the program
stops with a run error.
"""

from ._constants import (ExitCode, KERNEL_ERROR_STATUS, OPTIMISATION_FILE,
                         OUTPUT_NOT_WRITTEN_STATUS, REPORT_FILE, RESULT_FILE, SUMMARY_FILE)
from ._errors import KernelError, MissingFileError, RunError, _run_error
from ._result import CalibrationResult
from ._soilcal import Job, derive, inspect, simulate
from . import _soilcal

__version__ = _soilcal.__version__

__all__ = ["__version__", "simulate", "Job", "calibrate", "derive", "inspect", "CalibrationResult", "RunError",
           "MissingFileError", "KernelError", "ExitCode", "USER_ABORT", "KERNEL_ERROR_STATUS",
           "OUTPUT_NOT_WRITTEN_STATUS", "RESULT_FILE", "SUMMARY_FILE", "REPORT_FILE",
           "OPTIMISATION_FILE"]

USER_ABORT = ExitCode.USER_ABORT


def calibrate(path, search="default", threads=None, progress=None, verbose=False,
              extended_models=False, solver="auto", uncertainty="auto"):
    """Runs the calibration of the job at ``path`` as the program does.

    ``path`` is an optimisation file, a TOML job file (its native job and
    every output go to ``JOB.out/`` beside it) or a job folder. ``search`` is
    ``"default"`` or ``"thorough"`` (the job's flag file still counts).
    ``threads`` sets the evaluation threads of this call only. ``progress``,
    when given, is called with a dict (``evaluations``, ``best_objective``,
    ``phase``, ``iteration``, ``mean_relative_error``, ``done``, ``total``)
    through every phase of the run: ``reference_run``, ``starting_points``,
    ``iterations``, ``sensitivities``, ``final_run``, ``uncertainty``,
    ``profiles`` (``done`` of ``total`` profile sides walked) and
    ``writing``, the last call. A new phase is told at once, reports within
    a phase at most ten times a second; if it raises, the search stops, the
    files are written and its exception is raised. ``verbose=True`` passes the program's console
    output through to ``sys.stdout`` and ``sys.stderr``. ``extended_models``
    lets the Sekiguchi-Ohta models run, as the option --extended-models does;
    ``solver`` ("auto", "fast" or "prescribed") is the option --solver,
    ``uncertainty`` ("auto", "linear", "profile" or "off") the option
    --uncertainty (the estimate lands in ``result.summary``).

    Returns a ``CalibrationResult``. A run error raises ``RunError`` after
    the result file is written; Ctrl-C stops the search as the abort file
    does, writes the files and raises ``KeyboardInterrupt`` (its ``result``
    attribute holds the best point so far). A kernel error inside a test is
    part of the result (``exit_code`` None, ``kernel_error`` its message).
    """
    outcome = _soilcal._calibrate(path, search=search, threads=threads, progress=progress,
                                  verbose=verbose, extended_models=extended_models,
                                  solver=solver, uncertainty=uncertainty)
    result = CalibrationResult(outcome)
    if outcome["progress_error"] is not None:
        raise outcome["progress_error"]
    if outcome["signalled"]:
        interrupt = KeyboardInterrupt(
            "calibration interrupted: the files in %s hold the best point so far" % result.folder)
        interrupt.result = result
        raise interrupt
    code = outcome["exit_code"]
    if code is not None and code not in (ExitCode.SUCCESS, ExitCode.USER_ABORT):
        raise _run_error(code, outcome["message"], result)
    return result
