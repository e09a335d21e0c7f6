"""The outcome of soilcal.calibrate and its displays."""

import html
import json
import os

import numpy

from ._constants import ExitCode, OPTIMISATION_FILE, REPORT_FILE, RESULT_FILE, SUMMARY_FILE


class CalibrationResult:
    """What a calibration found and where its files are.

    ``exit_code`` is the result file's Exit Code (0 success, 18 stopped by
    the abort file, None when a kernel error ended the run: see
    ``kernel_error``). ``parameters`` maps each free parameter to its best
    value and ``sensitivities`` to its relative sensitivity (largest 100, -1
    after an abort), under the job's names and in its units (a TOML job's
    degrees and moduli). ``summary`` is calibration_summary.json as a dict;
    ``report_path`` names calibration_report.html. In a notebook the result
    shows the report; ``curves_frame()`` gives the curves as a DataFrame.

    The fields of scipy's ``OptimizeResult`` are there too, for code written
    against it: ``x`` (the best values as a numpy array, in the order of
    ``parameters``), ``fun`` (the objective), ``success`` (exit code 0),
    ``status`` (the exit code, -1 for a kernel error), ``message`` (what
    ended a run that failed, else the exit code's name), ``nfev``
    (objective evaluations) and ``nit`` (iterations or generations).
    """

    def __init__(self, outcome):
        self.exit_code = outcome["exit_code"]
        self.kernel_error = outcome["kernel_error"]
        self.message = outcome["message"]
        self.interrupted = outcome["interrupted"]
        self.job_path = os.path.abspath(outcome["job"])
        self.folder = os.path.abspath(outcome["folder"] or os.curdir)
        self.parameters = {name: best for name, _, best, _ in outcome["parameters"]}
        self.units = {name: unit for name, unit, _, _ in outcome["parameters"]}
        self.sensitivities = {name: s for name, _, _, s in outcome["parameters"]}
        self.mean_relative_error = outcome["mean_relative_error"]
        self.objective = outcome["objective"]
        self.evaluations = outcome["evaluations"]
        self.iterations = outcome["iterations"]
        self.console = outcome["console"]
        self.x = numpy.array([self.parameters[name] for name in self.parameters], dtype=float)
        self.fun = self.objective
        self.success = self.exit_code == ExitCode.SUCCESS
        self.status = -1 if self.exit_code is None else int(self.exit_code)
        if not self.message and self.exit_code is not None:
            self.message = ExitCode(self.exit_code).name
        self.nfev = self.evaluations
        self.nit = self.iterations
        ran = outcome["ran"]
        self.result_path = os.path.join(self.folder, RESULT_FILE)
        report = os.path.join(self.folder, REPORT_FILE)
        # The summary and the report's body come from the run itself; the
        # files in the folder are written from the same record.
        summary = outcome["summary_json"]
        self.summary = json.loads(summary) if ran and summary is not None else None
        self.report_path = report if ran and os.path.isfile(report) else None
        self._report_body = outcome["report_body"] if ran else None
        self._report_style = outcome["report_style"] or ""
        self._curves = outcome["curves"] if ran else None

    def __repr__(self):
        if self.exit_code is None:
            outcome = "kernel_error=%r" % self.kernel_error
        else:
            outcome = "exit_code=%d" % self.exit_code
        values = ", ".join("%s=%.6g" % item for item in self.parameters.items())
        error = ("" if self.mean_relative_error is None
                 else ", mean_relative_error=%.6g" % self.mean_relative_error)
        return "CalibrationResult(%s%s, parameters={%s})" % (outcome, error, values)

    def native_job(self):
        """The optimisation file the run read (a TOML job's one in JOB.out/)."""
        if self.job_path.lower().endswith(".toml"):
            return os.path.join(self.folder, OPTIMISATION_FILE)
        return self.job_path

    def curves_frame(self):
        """Measured curves and the simulated curves at the start and the best values.

        A pandas DataFrame with one row per point: ``test``, ``curve`` (the
        measured curve file), ``x_name``, ``y_name``, ``series``
        ("measured", "start" or "best"), ``phase``, ``x`` and ``y``, in the
        job's quantities (a TOML job's names, compression positive). The
        curves are those the calibration returned, as its objective compared
        them (a later phase shifted onto its first measured point); nothing
        is simulated again. Empty when the run wrote no outputs.
        """
        try:
            import pandas
        except ImportError as error:
            raise ImportError(
                "curves_frame() needs pandas: install it with apt-get install python3-pandas "
                "(Debian; scripts/setup does), or pip install pandas in a virtual "
                "environment") from error
        rows = {key: [] for key in ("test", "curve", "x_name", "y_name", "series", "phase",
                                     "x", "y")}
        for test in self._curves or []:
            for curve in test["curves"]:
                for name in ("measured", "start", "best"):
                    series = curve[name]
                    count = len(series["x"])
                    rows["test"] += [test["test"]] * count
                    rows["curve"] += [curve["file"]] * count
                    rows["x_name"] += [curve["x_name"]] * count
                    rows["y_name"] += [curve["y_name"]] * count
                    rows["series"] += [name] * count
                    rows["phase"] += [int(p) for p in series["phase"]]
                    rows["x"] += [float(v) for v in series["x"]]
                    rows["y"] += [float(v) for v in series["y"]]
        return pandas.DataFrame(rows)

    def _repr_html_(self):
        if self._report_body is not None:
            return report_fragment(self._report_body, self._report_style)
        rows = "".join("<tr><th>%s</th><td>%.6g</td></tr>" % (html.escape(k), v)
                       for k, v in self.parameters.items())
        return "<p>%s</p><table>%s</table>" % (html.escape(repr(self)), rows)


_SCOPE = "div.soilcal-report"


def _scoped_css(css):
    """The report's style rules limited to the report's own block, so that a
    notebook keeps its look."""
    out = []
    i = 0
    while True:
        start = css.find("{", i)
        if start < 0:
            break
        head = css[i:start].strip()
        depth, end = 1, start + 1
        while end < len(css) and depth:
            depth += {"{": 1, "}": -1}.get(css[end], 0)
            end += 1
        body = css[start + 1:end - 1]
        if head.startswith("@"):
            out.append("%s {\n%s\n}" % (head, _scoped_css(body)))
        else:
            selectors = []
            for selector in head.split(","):
                selector = selector.strip()
                selectors.append(_SCOPE if selector in ("html", "body")
                                 else "%s %s" % (_SCOPE, selector))
            out.append("%s {%s}" % (", ".join(selectors), body))
        i = end
    return "\n".join(out)


def report_fragment(body, style):
    """The calibration report as an HTML block for a notebook: the page's
    body, the SVG figures inline, with its style rules scoped to the block."""
    return '<div class="soilcal-report"><style>%s</style>%s</div>' % (_scoped_css(style), body)
