"""The exceptions of soilcal."""


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


# Exit codes of files the job names that are missing.
_MISSING_FILE_CODES = (10, 15)


def _run_error(exit_code, message, result=None):
    cls = MissingFileError if exit_code in _MISSING_FILE_CODES else RunError
    return cls(exit_code, message, result)
