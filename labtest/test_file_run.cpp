#include "labtest/test_file_run.hpp"

#include <memory>
#include <utility>

#include "input/readers.hpp"
#include "labtest/extended_models.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "services/library.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::labtest {

TestFileRun SimulateTestFile(const std::string& path, services::ConsoleSink* console,
                             bool extendedModels, const SimulationOptions& options) {
  services::RunServices services;
  services.console = console;
  services::ServicesBinding binding(services);

  TestFileRun out;
  auto job = std::make_unique<input::Job>();
  out.test.testFile = path;
  input::LabTest current;
  input::ReadLabTestInput(out.test, current);
  job->material = out.test.material;
  job->modelNumber = out.test.modelNumber;
  job->extendedModels = ExtendedModelsRequested(extendedModels, services::FolderOf(path));
  job->tests.push_back(out.test);

  services::SharedLibrary capLibrary;
  models::ModelResources resources;
  if (models::hardening_soil::NeedsCapLibrary(job->modelNumber)) {
    using models::hardening_soil::CapLibraryLoad;
    switch (models::hardening_soil::LoadCapLibrary(capLibrary, resources.capItr)) {
      case CapLibraryLoad::kLoaded:
        break;
      case CapLibraryLoad::kNotLoaded:
        throw services::RunError(services::kCouldNotLoadZarirudeDll,
                                 "cannot load zarirude.dll: " + capLibrary.error());
      case CapLibraryLoad::kNoEntryPoint:
        throw services::RunError(services::kZarirudeDllIsCorrupt, "zarirude.dll has no HS_CapItr");
    }
  }

  auto context = std::make_unique<SimulationContext>();
  SimulationContext& ctx = *context;
  try {
    InitContext(ctx, *job, resources);
    ctx.stepSolver = options.solver;
    ctx.stopAtLiquefaction = options.stopAtLiquefaction;
    PrepareLabTest(ctx, job->tests.front());
    out.run = RunLabTest(ctx);
  } catch (const services::KernelAbort& abort) {
    out.kernelError = abort;
    out.run.nRecorded = ctx.rec.nRecorded;
  }
  // Point 1 exists once the run got past the initialisation.
  out.nPoints = out.run.nRecorded > 0 ? out.run.nRecorded : (ctx.rec.time.empty() ? 0 : 1);
  out.rec = std::move(ctx.rec);
  return out;
}

}  // namespace soilcal::labtest
