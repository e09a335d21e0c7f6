// _soilcal: the compiled part of the Python package soilcal. Engine errors
// become Python exceptions here: a run error soilcal.RunError (with the
// exit code and the program's one-line message), a missing file
// FileNotFoundError, a vector of the wrong length ValueError.
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <vector>

#include "bindings.hpp"
#include "jobfile/native_writer.hpp"
#include "services/errors.hpp"
#include "services/version.hpp"
#include "services/paths.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "run/messages.hpp"
#include "run/open_job.hpp"
#include "run/result_file.hpp"

namespace soilcal::python {

namespace fs = std::filesystem;

py::str Text(std::string_view bytes) {
  PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                        "replace");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

namespace {

[[noreturn]] void RaiseFileNotFound(const fs::path& path) {
  py::object error = py::module_::import("builtins")
                         .attr("FileNotFoundError")(ENOENT, std::strerror(ENOENT), path.string());
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

// The exit code, the program's line and the exception class soilcal gives
// for it (soilcal/__init__.py).
void RaiseRunError(const services::RunError& error) {
  py::object soilcal = py::module_::import("soilcal");
  py::object raised = soilcal.attr("_run_error")(error.code, Text(run::RunErrorLine(error)));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
}

void RaiseKernelError(const services::KernelAbort& abort) {
  py::object raised =
      py::module_::import("soilcal").attr("KernelError")(Text(run::KernelErrorLine(abort)));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
}

}  // namespace

std::string ExistingFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) RaiseFileNotFound(path);
  return path.string();
}

std::string ExistingJobPath(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_directory(path, ec)) return ExistingFile(path);
  // A job folder: its optimisation file in any letter case, else its one TOML job.
  std::vector<fs::path> toml;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const std::string name = entry.path().filename().string();
    if (services::ToUpperCase(name) == jobfile::kOptimisationFileName) return entry.path().string();
    const std::string upper = services::ToUpperCase(name);
    if (upper.size() > 5 && upper.compare(upper.size() - 5, 5, ".TOML") == 0) {
      toml.push_back(entry.path());
    }
  }
  if (toml.size() == 1) return toml.front().string();
  RaiseFileNotFound(path / jobfile::kOptimisationFileName);
}

void BindConstants(py::module_& m) {
  // The result file's exit codes by name, from the program's own table; the
  // package makes the IntEnum ExitCode of them.
  py::list codes;
  codes.append(py::make_tuple("SUCCESS", static_cast<int>(services::kSuccess)));
  for (int code = 1; code <= services::kSmallOverlapCurves; ++code) {
    codes.append(py::make_tuple(Text(run::ExitCodeName(code)), code));
  }
  m.attr("EXIT_CODES") = codes;
  m.attr("MISSING_FILE_EXIT_CODES") =
      py::make_tuple(static_cast<int>(services::kCurveFileNotFound),
                     static_cast<int>(services::kNoInputVlcFile));
  m.attr("KERNEL_ERROR_STATUS") = run::kStatusKernelError;
  m.attr("OUTPUT_NOT_WRITTEN_STATUS") = run::kOutputNotWrittenStatus;
  m.attr("RESULT_FILE") = run::kResultFileName;
  m.attr("SUMMARY_FILE") = report::kSummaryFileName;
  m.attr("REPORT_FILE") = report::kReportFileName;
  m.attr("OPTIMISATION_FILE") = jobfile::kOptimisationFileName;
}

}  // namespace soilcal::python

PYBIND11_MODULE(_soilcal, m) {
  namespace py = pybind11;
  m.doc() = "The compiled engine of soilcal; use the package soilcal.";
  // The program's own version, as soilcal --version gives it.
  m.attr("__version__") = soilcal::kVersion;
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const soilcal::services::RunError& error) {
      soilcal::python::RaiseRunError(error);
    } catch (const soilcal::services::KernelAbort& abort) {
      soilcal::python::RaiseKernelError(abort);
    } catch (const std::invalid_argument& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    }
  });
  soilcal::python::BindConstants(m);
  soilcal::python::BindSimulate(m);
  soilcal::python::BindJob(m);
  soilcal::python::BindCalibrate(m);
  soilcal::python::BindDerive(m);
  soilcal::python::BindInspect(m);
}
