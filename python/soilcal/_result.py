"""The outcome of soilcal.calibrate and its displays."""

import html
import json
import os
import re

_RESULT_FILE = "Optimization_result.txt"
_SUMMARY_FILE = "calibration_summary.json"
_REPORT_FILE = "calibration_report.html"


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
        ran = outcome["ran"]
        self.result_path = os.path.join(self.folder, _RESULT_FILE)
        summary = os.path.join(self.folder, _SUMMARY_FILE)
        report = os.path.join(self.folder, _REPORT_FILE)
        self.summary = _read_json(summary) if ran else None
        self.report_path = report if ran and os.path.isfile(report) else None

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
            return os.path.join(self.folder, "OPTIM.TXT")
        return self.job_path

    def curves_frame(self):
        """Measured curves and the simulated curves at the start and the best values.

        A pandas DataFrame with one row per point: ``test``, ``curve`` (the
        measured curve file), ``x_name``, ``y_name``, ``series``
        ("measured", "start" or "best"), ``phase``, ``x`` and ``y``, in the
        job's quantities (a TOML job's names, compression positive).
        """
        try:
            import pandas
        except ImportError as error:
            raise ImportError(
                "curves_frame() needs pandas: install it with apt-get install python3-pandas "
                "(Debian; scripts/setup does), or pip install pandas in a virtual "
                "environment") from error
        from ._soilcal import Job

        job = Job(self.native_job())
        series = [("start", job.curves())]
        if self.parameters:
            best = [self.parameters[name] for name in job.free_parameters]
            series.append(("best", job.curves(best)))
        rows = {key: [] for key in ("test", "curve", "x_name", "y_name", "series", "phase",
                                     "x", "y")}

        def add(test, curve, name, xs, ys, phases):
            for x, y, phase in zip(xs, ys, phases):
                rows["test"].append(test)
                rows["curve"].append(curve["file"])
                rows["x_name"].append(curve["x_name"])
                rows["y_name"].append(curve["y_name"])
                rows["series"].append(name)
                rows["phase"].append(int(phase))
                rows["x"].append(float(x))
                rows["y"].append(float(y))

        for test in series[0][1]:
            for curve in test["curves"]:
                add(test["test"], curve, "measured", curve["measured_x"], curve["measured_y"],
                    curve["measured_phase"])
        for name, tests in series:
            for test in tests:
                for curve in test["curves"]:
                    add(test["test"], curve, name, curve["simulated_x"], curve["simulated_y"],
                        curve["simulated_phase"])
        return pandas.DataFrame(rows)

    def _repr_html_(self):
        if self.report_path is not None:
            with open(self.report_path, encoding="utf-8", errors="replace") as f:
                return report_fragment(f.read())
        rows = "".join("<tr><th>%s</th><td>%.6g</td></tr>" % (html.escape(k), v)
                       for k, v in self.parameters.items())
        return "<p>%s</p><table>%s</table>" % (html.escape(repr(self)), rows)


def _read_json(path):
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


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


def report_fragment(page):
    """The calibration report as an HTML block for a notebook: its body, the
    SVG figures inline, with its style rules scoped to the block."""
    style = re.search(r"<style[^>]*>(.*?)</style>", page, re.S)
    body = re.search(r"<body[^>]*>(.*)</body>", page, re.S)
    css = _scoped_css(style.group(1)) if style else ""
    content = body.group(1) if body else page
    return '<div class="soilcal-report"><style>%s</style>%s</div>' % (css, content)
