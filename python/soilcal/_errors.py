"""The exceptions of soilcal."""

from ._constants import MISSING_FILE_EXIT_CODES


class RunError(Exception):
    """The program stopped the job with a run error.

    ``exit_code`` is the result file's Exit Code (1 to 19), ``message`` the
    program's one line about it; ``result`` is the CalibrationResult of a
    calibration (its files are written), None elsewhere.
    """

    def __init__(self, exit_code, message, result=None):
        super().__init__(message)
        self.exit_code = exit_code
        self.message = message
        self.result = result

    @property
    def code(self):
        """The exit code, under the result file's shorter name."""
        return self.exit_code


class MissingFileError(RunError, FileNotFoundError):
    """A file the job names does not exist (exit codes 10 and 15)."""


class KernelError(RuntimeError):
    """A kernel error ended a simulation that had to succeed."""


def _run_error(exit_code, message, result=None):
    cls = MissingFileError if exit_code in MISSING_FILE_EXIT_CODES else RunError
    return cls(exit_code, message, result)
