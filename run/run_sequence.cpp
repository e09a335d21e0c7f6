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
#include <optional>
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
#include "optimisation/thorough_search.hpp"
#include "optimisation/uncertainty.hpp"
#include "run/argument_path.hpp"
#include "run/calibration.hpp"
#include "run/calibration_hooks.hpp"
#include "run/calibration_outputs.hpp"
#include "run/curve_checks.hpp"
#include "run/job_checks.hpp"
#include "run/input_digest.hpp"
#include "run/job_folder.hpp"
#include "run/job_input.hpp"
#include "run/live_curves.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "run/result_file.hpp"
#include "run/search_choice.hpp"
#include "run/uncertainty_step.hpp"
#include "run/usage.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/fp_scope.hpp"
#include "services/interrupt.hpp"
#include "services/library.hpp"
#include "services/notices.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"
#include "services/run_services.hpp"

namespace soilcal::run {
namespace {

struct Run {
  RunClock start;
  std::string folder;               // project folder of the argument ("" = current directory)
  JobFolder place;                  // the folder taken for the run
  ResultFile result;
  input::Job job;
  services::SharedLibrary capLibrary;  // kept loaded for the whole run
  models::ModelResources resources;
  CalibrationOutputs outputs;       // progress line, summary and report
  ThrottledProgress progress;       // the caller's observer, if any
  std::optional<optimisation::SwarmResult> found;  // once the search has ended
  bool resultWritten = false;       // the result body with the best point
  bool stoppedAfterSearch = false;  // an abort after the search had ended
  std::unique_ptr<LiveCurves> live;  // the best curves while the search runs, when asked
};

// Simulates every test from material set `set1` and writes the curves;
// returns set 1 as the run left it (with the completion written back).
models::MaterialSet WriteCurves(Run& run, const models::MaterialSet* set1,
                                std::span<const double> x, const std::string& suffix,
                                bool keep,
                                std::vector<std::vector<optimisation::CurveInformation>>*
                                    information = nullptr) {
  run.outputs.CurvesStarting(suffix);
  run.progress.Phase(suffix == "_referenced" ? optimisation::SearchPhase::kReferenceRun
                                             : optimisation::SearchPhase::kFinalRun);
  auto ctx = std::make_unique<labtest::SimulationContext>();
  try {
    labtest::InitContext(*ctx, run.job, run.resources);
  } catch (services::KernelAbort& abort) {
    if (abort.where.empty()) abort.where = "the set-up of material set 1";
    throw;
  }
  if (set1 != nullptr) optimisation::StartFromMaterialSet(*ctx, *set1);
  optimisation::WriteSimulatedCurves(run.job, *ctx, x, suffix, keep, information);
  run.outputs.CurvesWritten(suffix);
  return ctx->set1;
}

// The progress line, the caller's observer and the live curves, if any.
optimisation::ProgressObserver ObserverOf(Run& run) {
  if (!run.progress.active() && !run.live) return run.outputs.Observer();
  return [line = run.outputs.Observer(), r = &run](const optimisation::SearchProgress& p) {
    line(p);
    r->progress.Note(p);
    if (r->live) r->live->Note(p);
  };
}

optimisation::SwarmOptions OptionsOf(Run& run) {
  optimisation::SwarmOptions options;
  options.intensity = run.job.settings.intensity;
  options.tolerance = run.job.settings.tolerance;
  options.lower = run.job.settings.lower;
  options.upper = run.job.settings.upper;
  options.abortFlagPath = run.folder + "AbortCalc";
  options.progress = ObserverOf(run);
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

// How often a thorough search goes on from a better point its profiles
// met; the profiles are taken again at each new best point.
constexpr int kContinuations = 2;

// A thorough search whose profiles met a clearly better point goes on from
// it, so that the run reports the best point it saw: the result file, the
// "_calculated" curves and the estimate become those of the point where it
// ends. A failure on the way leaves the outputs of the point before.
// Returns true when an abort stopped it.
bool ContinueFromProfiles(Run& run, const models::MaterialSet& set1,
                          const UncertaintyRequest& request, optimisation::Problem& objective,
                          optimisation::SwarmResult& found,
                          std::optional<optimisation::UncertaintyResult>& uncertainty) {
  for (int round = 0; round < kContinuations; ++round) {
    if (!uncertainty || uncertainty->aborted) return false;
    const std::optional<optimisation::BetterPoint> better =
        optimisation::BetterPointOfProfiles(*uncertainty);
    if (!better) return false;
    optimisation::SwarmResult next;
    try {
      next = optimisation::ContinueThoroughSearch(OptionsOf(run), objective, found, better->x);
    } catch (const services::KernelAbort& abort) {
      services::Notice("the search could not go on from the better point its profiles met (" +
                       services::TrimRight(abort.message) + ")");
      return false;
    } catch (...) {
      services::Notice("the search could not go on from the better point its profiles met");
      return false;
    }
    if (next.exitStatus == services::kUserAbort) return true;
    if (!(next.bestObjective < found.bestObjective)) return false;
    found = std::move(next);
    run.found = found;
    run.outputs.SearchContinued(found);
    run.result.Restart();
    run.result.WriteOptimisationResult(found.best, run.job.settings.index,
                                       run.job.modelNumber % 100, found.bestError,
                                       found.sensitivity, found.exitStatus, run.start);
    WriteCurves(run, &set1, found.best, "_calculated", false);
    run.progress.Phase(optimisation::SearchPhase::kUncertainty);
    uncertainty = RunUncertaintyStep(request, run.job, found, objective);
  }
  return false;
}

// Everything after the argument is known; run errors and kernel errors
// leave it as exceptions. Returns the exit code of the search.
int Calibrate(Run& run, const CalibrationRequest& request) {
  run.job.extendedModels = labtest::ExtendedModelsRequested(request.extendedModels, run.folder);
  ReadTestsAndCurves(run.job, run.capLibrary, run.resources);
  WarnAboutLikelyMistakes(run.job);
  WarnAboutCurves(run.job);
  run.outputs.InputsRead(InputDigest(run.job));

  // Material set 1 lives through the reference run, the search and the
  // final run: what the reference run completes is where the search starts.
  const std::vector<double> x = StartingVector(run.job);
  std::vector<std::vector<optimisation::CurveInformation>> information;
  const models::MaterialSet set1 = WriteCurves(run, nullptr, x, "_referenced", true, &information);
  CheckCurveInformation(run.job, information);
  run.outputs.StartSetKnown(set1);
  const std::vector<std::string> derived = WarnAboutDerivedSlots(run.job, set1.prop);

  auto objective = std::make_unique<optimisation::JobObjective>(run.job, run.resources, set1);
  if (request.liveCurves) {
    run.live = std::make_unique<LiveCurves>(run.job, run.resources, set1, request.liveCurves,
                                            request.liveCurvesModel);
  }
  const SearchMode mode = ChooseSearch(request.search, run.folder);
  run.outputs.SearchChosen(mode, request.thoroughBudget);
  optimisation::SwarmResult found = RunSearch(mode, OptionsOf(run), *objective, request.solver,
                                               request.thoroughBudget);
  run.outputs.SearchEnded(found);
  run.progress.Ended(found);
  run.found = found;

  run.result.WriteOptimisationResult(found.best, run.job.settings.index,
                                     run.job.modelNumber % 100, found.bestError,
                                     found.sensitivity, found.exitStatus, run.start);
  run.resultWritten = true;
  if (found.exitStatus == services::kUserAbort) {
    WriteCurvesAfterAbort(run, set1, found);
  } else {
    WriteCurves(run, &set1, found.best, "_calculated", false);
  }
  // After every file the host reads is written: the step can cost nothing.
  if (request.uncertainty != UncertaintyMode::kOff) {
    run.outputs.UncertaintyStarting();
    run.progress.Phase(optimisation::SearchPhase::kUncertainty);
  }
  const UncertaintyRequest estimate{request.uncertainty, mode, derived, run.folder, ObserverOf(run),
                                    request.solver == SolverChoice::kAuto};
  std::optional<optimisation::UncertaintyResult> uncertainty =
      RunUncertaintyStep(estimate, run.job, found, *objective);
  bool stoppedLate = false;
  if (mode == SearchMode::kThorough && found.exitStatus == 0) {
    stoppedLate = ContinueFromProfiles(run, set1, estimate, *objective, found, uncertainty);
  }
  stoppedLate = stoppedLate || (uncertainty && uncertainty->aborted);
  run.outputs.UncertaintyKnown(std::move(uncertainty));
  // A stop after the search (an interrupt while the curves were written, or
  // an interrupt or AbortCalc in the profiles) still ends the run as an
  // abort: the last "General" section and the exit status say 18, so that a
  // script that reruns aborted jobs reruns this one.
  if (found.exitStatus == 0 && (stoppedLate || services::InterruptRequested())) {
    run.result.WriteGeneralSection(services::kUserAbort, run.start);
    run.stoppedAfterSearch = true;
    return services::kUserAbort;
  }
  return found.exitStatus;
}

}  // namespace

CalibrationOutcome RunCalibration(const CalibrationRequest& request,
                                  services::FolderLock heldLock) {
  // The run's own units, diagnostics and messages, so that several runs can
  // share one process.
  services::RunServices services;
  services.console = request.console;
  services.cancel = request.cancel;
  services.batchTiming = request.batchTiming;
  services::ServicesBinding binding(services);
  ScopedEvaluationThreads threads(request.threads);
  services::ScopedFlushToZero flushToZero;
  services::InitMessageState();
  services::SetVirtualLabMode(0);
  Run run;
  run.start = RunClock{services::WallClockMs(), services::CpuTime()};
  run.progress = ThrottledProgress(request.progress, request.progressInterval);
  run.place.lock = std::move(heldLock);
  if (!request.progressLine) run.outputs.HideProgressLine();

  CalibrationOutcome done;
  done.ran = true;
  Outcome& outcome = done.outcome;
  try {
    if (!request.path) {
      PrepareCurrentFolder(run.place, run.result);
      services::StopWithError(services::kOptimizationFileNotIndicated);
    }
    const std::string argument = ChooseArgumentSpelling(*request.path);
    run.folder = services::FolderOf(argument);
    PrepareJobFolder(run.place, argument, run.job, run.result);
    outcome.exitCode = Calibrate(run, request);
    if (outcome.exitCode == services::kUserAbort) {
      done.interrupted = services::InterruptRequested();
      ReportUserAbort(done.interrupted, run.stoppedAfterSearch);
    }
  } catch (services::RunError& error) {
    AddPlaceOfError(error, run.job);
    run.result.WriteGeneralSection(error.code, run.start);
    ReportRunError(error);
    outcome.exitCode = error.code;
    done.message = RunErrorLine(error);
  } catch (const services::KernelAbort& abort) {
    run.outputs.KernelError(abort.message);
    ReportKernelError(abort);
    outcome.kernelError = true;
    done.message = KernelErrorLine(abort);
  } catch (const std::bad_alloc&) {
    run.result.WriteGeneralSection(services::kCouldNotAllocateMemory, run.start);
    const services::RunError error(services::kCouldNotAllocateMemory);
    ReportRunError(error);
    outcome.exitCode = services::kCouldNotAllocateMemory;
    done.message = RunErrorLine(error);
  } catch (const std::exception& unexpected) {
    services::ShowMessageBox("soilcal", std::string("internal error: ") + unexpected.what());
    outcome.kernelError = true;
    done.message = std::string("internal error: ") + unexpected.what();
  } catch (...) {
    services::ShowMessageBox("soilcal", "internal error");
    outcome.kernelError = true;
    done.message = "internal error";
  }
  if (!run.place.untouched) {
    run.progress.Phase(optimisation::SearchPhase::kWriting);
    done.record = run.outputs.Finish(run.job, run.resources, run.result, run.folder);
  }
  CloseJobFolder(run.place, run.result);
  outcome.outputFailed = services::OutputFailures() > 0;
  done.untouched = run.place.untouched;
  done.folder = run.folder;
  done.found = run.found;
  if (run.found && run.resultWritten) done.parameters = BestParameters(run.job, *run.found);
  return done;
}

int RunSequence(int argc, char** argv) { return RunSequence(argc, argv, services::FolderLock{}); }

namespace {

struct SequenceCall {
  bool statusAlways = false;
  services::ConsoleSink* console = nullptr;
};

int Sequence(int argc, char** argv, services::FolderLock heldLock, const SequenceCall& call) {
  const RunOptions options = ParseCommandLine(argc, argv);
  if (options.help || options.version) {
    std::fputs(options.help ? UsageText().c_str() : VersionText().c_str(), stdout);
    return 0;
  }
  for (const std::string& unknown : options.unknown) {
    services::Warn("unknown option " + unknown + " ignored (see soilcal --help)");
  }
  services::InstallInterruptHandlers();
  CalibrationRequest request;
  if (options.hasPath) request.path = options.path;
  request.search = options.search;
  request.extendedModels = options.extendedModels;
  request.solver = options.solver;
  request.uncertainty = options.uncertainty;
  request.console = call.console;
  if (options.progressJson) {
    request.progress = WriteProgressJson;
    request.progressInterval = std::chrono::milliseconds(0);
    request.progressLine = false;
  }
  if (options.progressCurves) request.liveCurves = WriteJsonLine;
  const CalibrationOutcome done = RunCalibration(request, std::move(heldLock));
  return call.statusAlways || options.exitStatus ? ProcessStatus(done.outcome) : 0;
}

}  // namespace

int RunSequence(int argc, char** argv, services::FolderLock heldLock) {
  return Sequence(argc, argv, std::move(heldLock), SequenceCall{});
}

int RunSequenceForStatus(int argc, char** argv, services::FolderLock heldLock,
                         services::ConsoleSink* console) {
  return Sequence(argc, argv, std::move(heldLock), SequenceCall{true, console});
}

}  // namespace soilcal::run
