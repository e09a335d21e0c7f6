// Helpers of the TOML job tests: a native job read back with the program's
// own readers, and the run error a job file raises.
#pragma once

#include <optional>
#include <string>

#include "input/readers.hpp"
#include "input/records.hpp"
#include "jobfile/toml_job.hpp"
#include "services/errors.hpp"

namespace soilcal::testing {

// The job of `optimisationFile` as the run reads it: optimisation file,
// lab-test files in list order (material set 1 from the last), curves.
inline input::Job ReadNativeJob(const std::string& optimisationFile) {
  input::Job job;
  input::ReadOptimisationInput(optimisationFile, job);
  input::LabTest current;
  for (input::LabTest& test : job.tests) input::ReadLabTestInput(test, current);
  job.material = current.material;
  job.modelNumber = current.modelNumber;
  input::ReadMeasuredCurves(job);
  return job;
}

// The run error that reading the TOML job at `path` raises, if any.
inline std::optional<services::RunError> JobFileError(const std::string& path) {
  try {
    jobfile::ReadTomlJob(path);
  } catch (const services::RunError& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace soilcal::testing
