// soilcal.simulate(test_file): one lab-test file with its own parameters,
// the numbers soilcal-labtest prints, as numpy arrays.
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <vector>

#include "arrays.hpp"
#include "bindings.hpp"
#include "console_capture.hpp"
#include "labtest/point_table.hpp"
#include "labtest/test_file_run.hpp"
#include "run/messages.hpp"
#include "run/open_job.hpp"

namespace soilcal::python {
namespace {

py::dict Simulate(const std::filesystem::path& testFile, bool verbose, bool extendedModels) {
  const std::string path = ExistingFile(testFile);
  ConsoleCapture console(verbose);
  labtest::TestFileRun run;
  {
    py::gil_scoped_release release;
    run = labtest::SimulateTestFile(path, &console, extendedModels);
  }
  const auto n = static_cast<std::size_t>(std::max(run.nPoints, 0));
  std::vector<double> time(run.rec.time.begin(), run.rec.time.begin() + static_cast<long>(n));
  std::vector<double> pw(run.rec.pw.begin(), run.rec.pw.begin() + static_cast<long>(n));
  std::vector<int> phase;
  for (std::size_t k = 1; k <= n; ++k) {
    phase.push_back(labtest::PhaseOfPoint(run.test, static_cast<int>(k)));
  }
  py::dict out;
  out["time"] = Array(time);
  out["strain"] = Rows6(run.rec.strain, n);
  out["stress"] = Rows6(run.rec.stress, n);
  out["pore_pressure"] = Array(pw);
  out["phase"] = Array(phase);
  out["status"] = run.kernelError ? run::kStatusKernelError : run.run.status;
  out["kernel_error"] = run.kernelError ? py::object(Text(run::KernelErrorLine(*run.kernelError)))
                                        : py::object(py::none());
  out["console"] = Text(console.text());
  return out;
}

}  // namespace

void BindSimulate(py::module_& m) {
  m.def("simulate", &Simulate, py::arg("test_file"), py::arg("verbose") = false,
        py::arg("extended_models") = false,
        R"doc(Simulates one lab-test file with its own material parameters.

Returns a dict of numpy arrays in the program's conventions (tension
positive, components xx yy zz xy yz zx, shear strains as engineering
strains): ``time`` (n), ``strain`` (n, 6), ``stress`` (n, 6) effective
stresses, ``pore_pressure`` (n) and ``phase`` (n), the same numbers
soilcal-labtest prints; ``status`` is 0 when every step converged (1 the
stress point could not be initialised, 2 the parameter completion failed,
3 a load step did not converge, 4 a kernel error ended the test, see
``kernel_error``).)doc");
}

}  // namespace soilcal::python
