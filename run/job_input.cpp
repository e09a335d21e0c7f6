#include "run/job_input.hpp"

#include "input/readers.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

constexpr int kCavityTest = 6;

// Reads every test file in list order; a cavity test stops the run before
// the next file is read.
void ReadTests(input::Job& job) {
  input::LabTest current;
  for (input::LabTest& test : job.tests) {
    input::ReadLabTestInput(test, current, job.argument);
    if (current.testType == kCavityTest) {
      services::Diag().Line("cavity: not implemented in 3D");
      services::Diag().Flush();
      services::StopWithError(services::kErrorInVlcParameter,
                              services::BareName(test.testFile) + " line " +
                                  std::to_string(current.testTypeLine) +
                                  ": test type 6 (a cavity test) cannot be simulated");
    }
  }
  job.material = current.material;
  job.modelNumber = current.modelNumber;
}

// Loads "zarirude.dll" and resolves its entry point HS_CapItr.
void LoadZaRirUde(services::SharedLibrary& capLibrary, models::ModelResources& resources) {
  switch (models::hardening_soil::LoadCapLibrary(capLibrary, resources.capItr)) {
    case models::hardening_soil::CapLibraryLoad::kLoaded:
      return;
    case models::hardening_soil::CapLibraryLoad::kNotLoaded:
      if (services::Diag().on()) services::Diag().Line("zarirude.dll: " + capLibrary.error());
      services::StopWithError(services::kCouldNotLoadZarirudeDll,
                              "the cap library zarirude.dll of the Hardening Soil models cannot be "
                              "loaded: " + capLibrary.error());
    case models::hardening_soil::CapLibraryLoad::kNoEntryPoint:
      services::StopWithError(services::kZarirudeDllIsCorrupt,
                              "the cap library zarirude.dll has no entry point HS_CapItr");
  }
}

}  // namespace

void ReadTestsAndCurves(input::Job& job, services::SharedLibrary& capLibrary,
                        models::ModelResources& resources) {
  ReadTests(job);
  if (models::hardening_soil::NeedsCapLibrary(job.modelNumber)) LoadZaRirUde(capLibrary, resources);
  input::ReadMeasuredCurves(job);
}

std::vector<double> StartingVector(const input::Job& job) {
  std::vector<double> x;
  const auto& index = job.settings.index;
  for (int j = 0; j < job.settings.nParams && j < static_cast<int>(index.size()); ++j) {
    const int slot = index[static_cast<std::size_t>(j)];
    const bool inRange = slot >= 0 && slot < static_cast<int>(job.material.params.size());
    x.push_back(inRange ? job.material.params[static_cast<std::size_t>(slot)] : 0.0);
  }
  return x;
}

}  // namespace soilcal::run
