// soilcal.Job(path): a job opened without running it. Values are in the
// job's units (a TOML job's names, degrees and moduli).
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "jobs/job_preparation.hpp"
#include "arrays.hpp"
#include "bindings.hpp"
#include "console_capture.hpp"

namespace soilcal::python {
namespace {

class Job {
 public:
  Job(const std::filesystem::path& path, bool verbose, bool extendedModels)
      : path_(ExistingJobPath(path)), console_(std::make_unique<ConsoleCapture>(verbose)) {
    py::gil_scoped_release release;
    file_ = std::make_unique<jobs::JobFile>(path_, console_.get(), extendedModels);
  }

  const std::string& path() const { return path_; }

  py::list FreeParameters() const {
    py::list names;
    for (const run::FreeParameter& p : file_->job().parameters()) names.append(Text(p.name));
    return names;
  }

  py::list Bounds() const {
    py::list bounds;
    for (const run::FreeParameter& p : file_->job().parameters()) {
      bounds.append(py::make_tuple(p.lower, p.upper));
    }
    return bounds;
  }

  py::array_t<double> Start() const {
    std::vector<double> start;
    for (const run::FreeParameter& p : file_->job().parameters()) start.push_back(p.start);
    return Array(start);
  }

  py::dict Units() const {
    py::dict units;
    for (const run::FreeParameter& p : file_->job().parameters()) units[Text(p.name)] = Text(p.unit);
    return units;
  }

  py::dict Evaluate(const py::object& x) {
    const std::vector<double> values = Vector(x);
    run::PointEvaluation e;
    {
      py::gil_scoped_release release;
      e = file_->job().Evaluate(values);
    }
    py::dict out;
    out["objective"] = e.objective;
    out["mean_relative_error"] = e.meanError;
    out["status"] = e.status;
    out["reason"] = e.reason.empty() ? py::object(py::none()) : py::object(Text(e.reason));
    return out;
  }

  py::list Curves(const py::object& x) {
    std::optional<std::vector<double>> values;
    if (!x.is_none()) values = Vector(x);
    run::CurvesAt curves;
    {
      py::gil_scoped_release release;
      curves = values ? file_->job().Curves(std::span<const double>(*values))
                      : file_->job().Curves(std::nullopt);
    }
    py::list tests;
    for (const run::TestAt& test : curves.tests) {
      py::list list;
      for (const run::CurveAt& c : test.curves) {
        py::dict curve;
        curve["file"] = Text(c.file);
        curve["x_name"] = Text(c.xName);
        curve["y_name"] = Text(c.yName);
        curve["x_code"] = c.xCode;
        curve["y_code"] = c.yCode;
        curve["measured_x"] = Array(c.measuredX);
        curve["measured_y"] = Array(c.measuredY);
        curve["measured_phase"] = Array(c.measuredPhase);
        curve["simulated_x"] = Array(c.simulatedX);
        curve["simulated_y"] = Array(c.simulatedY);
        curve["simulated_phase"] = Array(c.simulatedPhase);
        curve["relative_error"] = c.error;
        curve["points_in_range"] = c.nValid;
        list.append(curve);
      }
      py::dict entry;
      entry["test"] = Text(test.file);
      entry["status"] = test.status;
      entry["kernel_error"] = curves.kernelError.empty() ? py::object(py::none())
                                                         : py::object(Text(curves.kernelError));
      entry["curves"] = list;
      tests.append(entry);
    }
    return tests;
  }

  py::str Console() const { return Text(console_->text()); }

  py::str Repr() const {
    std::string names;
    for (const run::FreeParameter& p : file_->job().parameters()) {
      names += (names.empty() ? "" : ", ") + p.name;
    }
    return Text("Job('" + path_ + "', free parameters: " + names + ")");
  }

  py::object KernelError() const {
    const std::string& error = file_->job().kernelError();
    return error.empty() ? py::object(py::none()) : py::object(Text(error));
  }

 private:
  // A sequence of one value per free parameter, or a mapping of names to
  // values (the free parameters left out keep their start values).
  std::vector<double> Vector(const py::object& x) const {
    const std::vector<run::FreeParameter>& parameters = file_->job().parameters();
    if (py::isinstance<py::dict>(x)) {
      py::dict given = x.cast<py::dict>();
      std::vector<double> values;
      std::size_t used = 0;
      for (const run::FreeParameter& p : parameters) {
        const py::str name = Text(p.name);
        if (given.contains(name)) {
          values.push_back(given[name].cast<double>());
          ++used;
        } else {
          values.push_back(p.start);
        }
      }
      if (used != given.size()) {
        throw std::invalid_argument("the mapping names a parameter that is not free in the job");
      }
      return values;
    }
    const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(x);
    if (!array || array.ndim() != 1) {
      throw std::invalid_argument("x must be a sequence of numbers, one per free parameter");
    }
    std::vector<double> values(array.data(), array.data() + array.size());
    if (values.size() != parameters.size()) {
      throw std::invalid_argument("the job has " + std::to_string(parameters.size()) +
                                  " free parameters, x has " + std::to_string(values.size()) +
                                  " values");
    }
    return values;
  }

  std::string path_;
  std::unique_ptr<ConsoleCapture> console_;  // outlives the job that writes to it
  std::unique_ptr<jobs::JobFile> file_;
};

}  // namespace

void BindJob(py::module_& m) {
  py::class_<Job>(m, "Job", R"doc(A calibration job opened without running it.

``Job(path)`` reads an optimisation file (a native job), a TOML job file or
a job folder as a calibration reads it and simulates its reference run in
memory; nothing is written beside the job. Values are in the job's own
units: for a TOML job its parameter names, degrees and moduli, for a native
job the slot values under the result file's names.)doc")
      .def(py::init<const std::filesystem::path&, bool, bool>(), py::arg("path"),
           py::arg("verbose") = false, py::arg("extended_models") = false)
      .def_property_readonly("path", &Job::path)
      .def("__repr__", &Job::Repr)
      .def_property_readonly("free_parameters", &Job::FreeParameters,
                             "Names of the free parameters, in the job's order.")
      .def_property_readonly("bounds", &Job::Bounds, "(lower, upper) of each free parameter.")
      .def_property_readonly("start", &Job::Start,
                             "Start values: the free parameters as the test files give them.")
      .def_property_readonly("units", &Job::Units, "Unit of each free parameter (\"\" if none).")
      .def_property_readonly("kernel_error", &Job::KernelError,
                             "What ended the reference run, if a kernel error did (else None): "
                             "a calibration of the job would end with it.")
      .def_property_readonly("console", &Job::Console,
                             "What reading the job printed (the header lines, warnings).")
      .def("evaluate", &Job::Evaluate, py::arg("x"),
           R"doc(The objective of a parameter vector, computed as the search computes it.

Returns a dict with ``objective`` (minimised), ``mean_relative_error``
(percent), ``status`` (0 usable, 1 not admissible, 2 or 3 a failed test
run, 4 a kernel error) and ``reason`` (why a point is not usable, or None).
``x`` holds one value per free parameter, or maps names to values.)doc")
      .def("curves", &Job::Curves, py::arg("x") = py::none(),
           R"doc(Measured and simulated curves at ``x`` (default: the test files' values).

Returns one dict per test (``test``, ``status``, ``kernel_error``,
``curves``); each curve has
``measured_x``, ``measured_y``, ``simulated_x``, ``simulated_y`` and the
phases of their points as numpy arrays, the quantity names and codes, and
the curve's ``relative_error`` in percent.)doc");
}

}  // namespace soilcal::python
