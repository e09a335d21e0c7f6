"""The program's exit codes, statuses and output file names, as the engine
defines them (never restated here)."""

import enum

from . import _soilcal

ExitCode = enum.IntEnum("ExitCode", list(_soilcal.EXIT_CODES))
ExitCode.__doc__ = """The Exit Code of the result file (0 success, 1 to 19 a run error)."""

# Exit codes of a file the job names that is missing (a curve file, a
# lab-test file).
MISSING_FILE_EXIT_CODES = frozenset(ExitCode(code) for code in _soilcal.MISSING_FILE_EXIT_CODES)
# The status of an evaluation or a simulated test that a kernel error ended.
KERNEL_ERROR_STATUS = _soilcal.KERNEL_ERROR_STATUS
# The process status (with --exit-status) of a run that succeeded but could
# not write one of its outputs.
OUTPUT_NOT_WRITTEN_STATUS = _soilcal.OUTPUT_NOT_WRITTEN_STATUS
# The files a run writes into its job folder.
RESULT_FILE = _soilcal.RESULT_FILE
SUMMARY_FILE = _soilcal.SUMMARY_FILE
REPORT_FILE = _soilcal.REPORT_FILE
# The optimisation file of a native job (a TOML job's in JOB.out/).
OPTIMISATION_FILE = _soilcal.OPTIMISATION_FILE
