// The Python module _soilcal: pybind11 conversions over the engine's library
// calls (run/calibration.hpp, run/open_job.hpp, app/job_runs.hpp,
// labtest/test_file_run.hpp). Everything it computes, the engine computes.
#pragma once

#include <pybind11/pybind11.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace soilcal::python {

namespace py = pybind11;

// The job or test file at `path`, checked to exist: FileNotFoundError
// naming it otherwise. A folder stands for the job in it: its OPTIM.TXT, or
// its one TOML job file.
std::string ExistingJobPath(const std::filesystem::path& path);
std::string ExistingFile(const std::filesystem::path& path);

// Python text from the engine's bytes (file names and lines read from files
// need not be UTF-8): undecodable bytes become U+FFFD.
py::str Text(std::string_view bytes);

// The exit codes, statuses and output file names of the program.
void BindConstants(py::module_& m);
void BindSimulate(py::module_& m);
void BindJob(py::module_& m);
void BindCalibrate(py::module_& m);
void BindDerive(py::module_& m);

}  // namespace soilcal::python
