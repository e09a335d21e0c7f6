// The run sequence: one pass from the command line to the result file.
//
// Start-up (floating-point mode, message state, start times), the job
// folder with the optimisation file and the channels (run/job_folder.hpp),
// the tests and curves, the cap-parameter library for the Hardening Soil
// models, the reference run, the search and the final run. A run error ends
// the pass with a "General" section carrying its exit code; a kernel error
// ends it with the message box and no section. Either also gets a line on
// standard error. The process exit status is 0 in every case unless
// --exit-status asks for the outcome (and a failure to write an output
// makes it non-zero then).
#include "run/run_sequence.hpp"

#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "input/readers.hpp"
#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/extended_models.hpp"
#include "models/family.hpp"
#include "models/hardening_soil/cap_library.hpp"
#include "optimisation/objective.hpp"
#include "optimisation/pswarm.hpp"
#include "run/argument_path.hpp"
#include "run/calibration_outputs.hpp"
#include "run/curve_checks.hpp"
#include "run/job_checks.hpp"
#include "run/job_folder.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "run/result_file.hpp"
#include "run/search_choice.hpp"
#include "run/usage.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "services/library.hpp"
#include "services/notices.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::run {
namespace {

constexpr int kCavityTest = 6;

struct Run {
  RunClock start;
  std::string folder;               // project folder of the argument ("" = current directory)
  JobFolder place;                  // the folder taken for the run
  ResultFile result;
  input::Job job;
  services::SharedLibrary capLibrary;  // kept loaded for the whole run
  models::ModelResources resources;
  CalibrationOutputs outputs;       // progress line, summary and report
};

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
void LoadZaRirUde(Run& run) {
  switch (models::hardening_soil::LoadCapLibrary(run.capLibrary, run.resources.capItr)) {
    case models::hardening_soil::CapLibraryLoad::kLoaded:
      return;
    case models::hardening_soil::CapLibraryLoad::kNotLoaded:
      if (services::Diag().on()) services::Diag().Line("zarirude.dll: " + run.capLibrary.error());
      services::StopWithError(services::kCouldNotLoadZarirudeDll,
                              "the cap library zarirude.dll of the Hardening Soil models cannot be "
                              "loaded: " + run.capLibrary.error());
    case models::hardening_soil::CapLibraryLoad::kNoEntryPoint:
      services::StopWithError(services::kZarirudeDllIsCorrupt,
                              "the cap library zarirude.dll has no entry point HS_CapItr");
  }
}

// The free parameters as the test files give them (the reference run keeps
// the files' material anyway).
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

// Simulates every test from material set `set1` and writes the curves;
// returns set 1 as the run left it (with the completion written back).
models::MaterialSet WriteCurves(Run& run, const models::MaterialSet* set1,
                                std::span<const double> x, const std::string& suffix,
                                bool keep) {
  run.outputs.CurvesStarting(suffix);
  auto ctx = std::make_unique<labtest::SimulationContext>();
  try {
    labtest::InitContext(*ctx, run.job, run.resources);
  } catch (services::KernelAbort& abort) {
    if (abort.where.empty()) abort.where = "the set-up of material set 1";
    throw;
  }
  if (set1 != nullptr) optimisation::StartFromMaterialSet(*ctx, *set1);
  optimisation::WriteSimulatedCurves(run.job, *ctx, x, suffix, keep);
  run.outputs.CurvesWritten(suffix);
  return ctx->set1;
}

optimisation::SwarmOptions OptionsOf(const Run& run) {
  optimisation::SwarmOptions options;
  options.intensity = run.job.settings.intensity;
  options.tolerance = run.job.settings.tolerance;
  options.lower = run.job.settings.lower;
  options.upper = run.job.settings.upper;
  options.abortFlagPath = run.folder + "AbortCalc";
  options.progress = run.outputs.Observer();
  return options;
}

// After an abort the result file is complete. A best point the search never
// evaluated (all zeros: it was stopped while drawing its starting points)
// gets no "_calculated" curves, and one that cannot be simulated costs them;
// neither costs the outcome of the run.
void WriteCurvesAfterAbort(Run& run, const models::MaterialSet& set1,
                           const optimisation::SwarmResult& found) {
  if (!found.bestEvaluated) {
    services::Notice("the search was stopped before it had a usable point: the values of the "
                     "result file are no fit, and no \"_calculated\" curves are written");
    return;
  }
  try {
    WriteCurves(run, &set1, found.best, "_calculated", false);
  } catch (const services::KernelAbort& abort) {
    if (!abort.caption.empty()) services::ShowMessageBox(abort.caption, abort.message);
    services::Notice("the best point so far cannot be simulated (kernel error " +
                     std::to_string(abort.number) + "); no \"_calculated\" curves were written");
  }
}

// Everything after the argument is known; run errors and kernel errors
// leave it as exceptions. Returns the exit code of the search.
int Calibrate(Run& run, const RunOptions& options) {
  run.job.extendedModels = labtest::ExtendedModelsRequested(options.extendedModels, run.folder);
  ReadTests(run.job);
  if (models::hardening_soil::NeedsCapLibrary(run.job.modelNumber)) LoadZaRirUde(run);
  input::ReadMeasuredCurves(run.job);
  WarnAboutLikelyMistakes(run.job);
  WarnAboutCurves(run.job);

  // Material set 1 lives through the reference run, the search and the
  // final run: what the reference run completes is where the search starts.
  const std::vector<double> x = StartingVector(run.job);
  const models::MaterialSet set1 = WriteCurves(run, nullptr, x, "_referenced", true);
  run.outputs.StartSetKnown(set1);

  auto objective = std::make_unique<optimisation::JobObjective>(run.job, run.resources, set1);
  const SearchMode mode = ChooseSearch(options.search, run.folder);
  run.outputs.SearchChosen(mode);
  const optimisation::SwarmResult found = RunSearch(mode, OptionsOf(run), *objective);
  run.outputs.SearchEnded(found);

  run.result.WriteOptimisationResult(found.best, run.job.settings.index,
                                     run.job.modelNumber % 100, found.bestError,
                                     found.sensitivity, found.exitStatus, run.start);
  if (found.exitStatus == services::kUserAbort) {
    WriteCurvesAfterAbort(run, set1, found);
  } else {
    WriteCurves(run, &set1, found.best, "_calculated", false);
  }
  return found.exitStatus;
}

}  // namespace

int RunSequence(int argc, char** argv) { return RunSequence(argc, argv, services::FolderLock{}); }

int RunSequence(int argc, char** argv, services::FolderLock heldLock) {
  const RunOptions options = ParseCommandLine(argc, argv);
  if (options.help || options.version) {
    std::fputs(options.help ? UsageText().c_str() : VersionText().c_str(), stdout);
    return 0;
  }
  for (const std::string& unknown : options.unknown) {
    services::Warn("unknown option " + unknown + " ignored (see soilcal --help)");
  }
  services::InstallInterruptHandlers();
  // The run's own units, diagnostics and messages, so that several runs can
  // share one process.
  services::RunServices services;
  services::ServicesBinding binding(services);
  services::SetFlushToZero();
  services::InitMessageState();
  services::SetVirtualLabMode(0);
  Run run;
  run.start = RunClock{services::WallClockMs(), services::CpuTime()};
  run.place.lock = std::move(heldLock);

  Outcome outcome;
  try {
    if (!options.hasPath) {
      PrepareCurrentFolder(run.place, run.result);
      services::StopWithError(services::kOptimizationFileNotIndicated);
    }
    const std::string argument = ChooseArgumentSpelling(options.path);
    run.folder = services::FolderOf(argument);
    PrepareJobFolder(run.place, argument, run.job, run.result);
    outcome.exitCode = Calibrate(run, options);
    if (outcome.exitCode == services::kUserAbort) {
      ReportUserAbort(services::InterruptRequested());
    }
  } catch (services::RunError& error) {
    AddPlaceOfError(error, run.job);
    run.result.WriteGeneralSection(error.code, run.start);
    ReportRunError(error);
    outcome.exitCode = error.code;
  } catch (const services::KernelAbort& abort) {
    run.outputs.KernelError(abort.message);
    ReportKernelError(abort);
    outcome.kernelError = true;
  } catch (const std::bad_alloc&) {
    run.result.WriteGeneralSection(services::kCouldNotAllocateMemory, run.start);
    ReportRunError(services::RunError(services::kCouldNotAllocateMemory));
    outcome.exitCode = services::kCouldNotAllocateMemory;
  } catch (const std::exception& unexpected) {
    services::ShowMessageBox("soilcal", std::string("internal error: ") + unexpected.what());
    outcome.kernelError = true;
  } catch (...) {
    services::ShowMessageBox("soilcal", "internal error");
    outcome.kernelError = true;
  }
  if (!run.place.untouched) run.outputs.Finish(run.job, run.resources, run.result, run.folder);
  CloseJobFolder(run.place, run.result);
  outcome.outputFailed = services::OutputFailures() > 0;
  return options.exitStatus ? ProcessStatus(outcome) : 0;
}

}  // namespace soilcal::run
