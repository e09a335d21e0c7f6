// soilcal._calibrate: the whole calibration of a job, as `soilcal PATH` runs
// it, with the GIL released; soilcal.calibrate (soilcal/__init__.py) turns
// the outcome into a result object or an exception.
#include <pybind11/stl/filesystem.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "jobs/job_preparation.hpp"
#include "arrays.hpp"
#include "bindings.hpp"
#include "console_capture.hpp"
#include "interrupt_scope.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"

namespace soilcal::python {
namespace {

using optimisation::SearchPhase;
using optimisation::SearchProgress;

py::object OrNone(double value) {
  return value < 0.0 ? py::object(py::none()) : py::object(py::float_(value));
}

py::dict ProgressDict(const SearchProgress& p) {
  py::dict d;
  d["evaluations"] = p.evaluations;
  d["best_objective"] = OrNone(p.bestObjective);
  d["phase"] = optimisation::PhaseName(p.phase);
  d["iteration"] = p.iteration;
  d["mean_relative_error"] = OrNone(p.bestError);
  // The profile sides walked and their number in the phase "profiles".
  d["done"] = p.done;
  d["total"] = p.total;
  return d;
}

bool OnMainThread() {
  py::module_ threading = py::module_::import("threading");
  return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

run::SolverChoice SolverOf(const std::string& solver) {
  if (solver == "auto") return run::SolverChoice::kAuto;
  if (solver == "fast") return run::SolverChoice::kFast;
  if (solver == "prescribed") return run::SolverChoice::kPrescribed;
  throw std::invalid_argument("solver must be \"auto\", \"fast\" or \"prescribed\", not \"" +
                              solver + "\"");
}

run::UncertaintyMode UncertaintyOf(const std::string& uncertainty) {
  if (uncertainty == "auto") return run::UncertaintyMode::kAuto;
  if (uncertainty == "off") return run::UncertaintyMode::kOff;
  if (uncertainty == "linear") return run::UncertaintyMode::kLinear;
  if (uncertainty == "profile") return run::UncertaintyMode::kProfile;
  throw std::invalid_argument(
      "uncertainty must be \"auto\", \"linear\", \"profile\" or \"off\", not \"" + uncertainty +
      "\"");
}

run::SearchMode SearchOf(const std::string& search) {
  if (search == "default") return run::SearchMode::kDefault;
  if (search == "thorough") return run::SearchMode::kThorough;
  throw std::invalid_argument("search must be \"default\" or \"thorough\", not \"" + search + "\"");
}

py::dict SeriesDict(const run::NamedSeries& s) {
  py::dict d;
  d["x"] = Array(s.x);
  d["y"] = Array(s.y);
  d["phase"] = Array(s.phase);
  return d;
}

// The curves of the record in the job's terms: per test, per curve.
py::list NamedCurvesList(const std::vector<run::NamedTestCurves>& tests) {
  py::list out;
  for (const run::NamedTestCurves& test : tests) {
    py::list curves;
    for (const run::NamedCurve& c : test.curves) {
      py::dict curve;
      curve["file"] = Text(c.file);
      curve["x_name"] = Text(c.xName);
      curve["y_name"] = Text(c.yName);
      curve["measured"] = SeriesDict(c.measured);
      curve["start"] = SeriesDict(c.start);
      curve["best"] = SeriesDict(c.best);
      curves.append(curve);
    }
    py::dict entry;
    entry["test"] = Text(test.test);
    entry["curves"] = curves;
    out.append(entry);
  }
  return out;
}

py::dict Outcome(const run::CalibrationOutcome& done) {
  py::dict out;
  out["ran"] = done.ran && !done.untouched;  // files of this run in the folder
  const bool kernel = done.outcome.kernelError;
  out["exit_code"] = kernel ? py::object(py::none()) : py::object(py::int_(done.outcome.exitCode));
  out["kernel_error"] = kernel ? py::object(Text(done.message)) : py::object(py::none());
  out["message"] = Text(done.message);
  out["interrupted"] = done.interrupted;
  out["folder"] = Text(done.folder);
  py::list parameters;
  for (const run::ParameterOutcome& p : done.parameters) {
    parameters.append(py::make_tuple(Text(p.name), Text(p.unit), p.best, p.sensitivity));
  }
  out["parameters"] = parameters;
  const bool found = done.found.has_value() && !done.parameters.empty();
  out["mean_relative_error"] = found ? py::object(py::float_(done.found->bestError)) : py::object(py::none());
  out["objective"] = found ? py::object(py::float_(done.found->bestObjective)) : py::object(py::none());
  out["evaluations"] = done.found ? done.found->evaluations : 0L;
  out["iterations"] = done.found ? done.found->iterations : 0;
  // The summary and the report as the run wrote them, from its own record
  // (never read back from the folder).
  if (done.record) {
    out["summary_json"] = Text(report::SummaryToJson(done.record->summary));
    out["report_body"] = Text(report::CalibrationReportBody(done.record->summary, done.record->curves));
    out["report_style"] = Text(report::ReportStyleSheet());
    out["curves"] = NamedCurvesList(done.record->namedCurves);
  } else {
    out["curves"] = py::none();
    out["summary_json"] = py::none();
    out["report_body"] = py::none();
    out["report_style"] = py::none();
  }
  return out;
}

py::dict Calibrate(const std::filesystem::path& path, const std::string& search,
                   const py::object& threads, const py::object& progress, bool verbose,
                   bool extendedModels, const std::string& solver,
                   const std::string& uncertainty) {
  const std::string job = ExistingJobPath(path);
  run::CalibrationRequest request;
  request.search = SearchOf(search);
  request.extendedModels = extendedModels;
  request.solver = SolverOf(solver);
  request.uncertainty = UncertaintyOf(uncertainty);
  if (!threads.is_none()) {
    // An int only: "2" or 2.0 is a mistake to name, not to convert.
    if (!py::isinstance<py::int_>(threads) || py::isinstance<py::bool_>(threads)) {
      throw py::type_error("threads must be an int (a number of threads) or None, not " +
                           std::string(py::str(py::type::of(threads).attr("__name__"))));
    }
    int count = 0;
    try {
      count = threads.cast<int>();
    } catch (const py::cast_error&) {
      throw py::value_error("threads is too large: give the number of threads to use");
    }
    if (count < 1) throw std::invalid_argument("threads must be at least 1");
    request.threads = count;
  }
  ConsoleCapture console(verbose);
  request.console = &console;
  request.progressLine = false;
  std::atomic<bool> cancel{false};
  request.cancel = &cancel;

  // A progress callback that raises stops the search like Ctrl-C; its
  // exception is raised once the files are written.
  py::object progressError = py::none();
  if (!progress.is_none()) {
    if (!PyCallable_Check(progress.ptr())) throw py::type_error("progress must be callable");
    request.progress = [&](const SearchProgress& p) {
      py::gil_scoped_acquire gil;
      if (cancel.load()) return;
      try {
        progress(ProgressDict(p));
      } catch (py::error_already_set& error) {
        progressError = error.value();
        if (!error.trace().is_none()) PyException_SetTraceback(progressError.ptr(), error.trace().ptr());
        cancel.store(true);
      }
    };
  }

  run::CalibrationOutcome done;
  bool signalled = false;
  {
    InterruptScope interrupt(OnMainThread());
    py::gil_scoped_release release;
    done = jobs::CalibrateJobFile(job, request);
    signalled = interrupt.caught();
  }
  py::dict out = Outcome(done);
  out["signalled"] = signalled;
  out["progress_error"] = progressError;
  out["console"] = Text(console.text());
  out["job"] = job;
  return out;
}

}  // namespace

void BindCalibrate(py::module_& m) {
  m.def("_calibrate", &Calibrate, py::arg("path"), py::arg("search") = "default",
        py::arg("threads") = py::none(), py::arg("progress") = py::none(),
        py::arg("verbose") = false, py::arg("extended_models") = false,
        py::arg("solver") = "auto", py::arg("uncertainty") = "auto",
        "The calibration of a job as the program runs it; use soilcal.calibrate.");
}

}  // namespace soilcal::python
