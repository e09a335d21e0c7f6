// What the calibration benchmarks share: a job folder read as the run
// sequence reads it, with the cap library of the Hardening Soil models
// loaded when the job needs it, and a guard that silences the programs'
// progress lines while a search runs.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "input/readers.hpp"
#include "input/records.hpp"
#include "models/family.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "optimisation/pswarm.hpp"
#include "services/library.hpp"
#include "services/paths.hpp"

namespace soilcal::bench {

// The search's settings as the job gives them: intensity, tolerance, bounds.
inline optimisation::SwarmOptions SwarmOptionsOf(const input::Job& job) {
  optimisation::SwarmOptions options;
  options.intensity = job.settings.intensity;
  options.tolerance = job.settings.tolerance;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;
  return options;
}

struct ExampleJob {
  input::Job job;
  services::SharedLibrary capLibrary;  // loaded for models 6 and 19
  models::ModelResources resources;
};

// Reads FOLDER/OPTIM.TXT, its lab-test files and its curves. False when a
// Hardening Soil job finds no cap library.
inline bool ReadJobFolder(const std::string& folder, ExampleJob& example) {
  input::Job& job = example.job;
  input::ReadOptimisationInput(services::ToUpperCase(folder + "/OPTIM.TXT"), job);
  input::LabTest current;
  for (input::LabTest& test : job.tests) input::ReadLabTestInput(test, current);
  job.material = current.material;
  job.modelNumber = current.modelNumber;
  input::ReadMeasuredCurves(job);
  if (!models::hardening_soil::NeedsCapLibrary(job.modelNumber)) return true;
  return models::hardening_soil::LoadCapLibrary(example.capLibrary, example.resources.capItr) ==
         models::hardening_soil::CapLibraryLoad::kLoaded;
}

// A shipped example, examples/NAME.
inline bool ReadExample(const std::string& name, ExampleJob& example) {
  return ReadJobFolder(std::string(SOILCAL_SOURCE_DIR) + "/examples/" + name, example);
}

// Sends standard output (and, when asked, standard error) to /dev/null
// while it lives.
class Quiet {
 public:
  explicit Quiet(bool alsoStderr = false) : quietErr_(alsoStderr) {
    Redirect(STDOUT_FILENO, stdout, out_);
    if (quietErr_) Redirect(STDERR_FILENO, stderr, err_);
  }
  ~Quiet() {
    Restore(STDOUT_FILENO, stdout, out_);
    if (quietErr_) Restore(STDERR_FILENO, stderr, err_);
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  static void Redirect(int fd, std::FILE* stream, int& saved) {
    std::fflush(stream);
    saved = dup(fd);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, fd);
    close(null);
  }
  static void Restore(int fd, std::FILE* stream, int saved) {
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
  }
  bool quietErr_;
  int out_ = -1, err_ = -1;
};

}  // namespace soilcal::bench
