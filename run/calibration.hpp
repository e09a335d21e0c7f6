// A calibration run as a library call: the program's run sequence with the
// choices a front end other than the command line needs (the Python module):
// the search, the evaluation threads of this run only, a progress observer,
// a stop flag and the console. The files it writes are those of
// `soilcal PATH`, bit for bit; the outcome comes back as a record.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "optimisation/progress.hpp"
#include "optimisation/pswarm.hpp"
#include "run/calibration_record.hpp"
#include "run/messages.hpp"
#include "run/options.hpp"
#include "services/batch_timing.hpp"
#include "services/console.hpp"
#include "services/folder_lock.hpp"

namespace soilcal::run {

struct CalibrationRequest {
  // The optimisation file as given; none: run error 2, as the program
  // started without an argument.
  std::optional<std::string> path;
  SearchMode search = SearchMode::kDefault;  // the flag file "thorough_search" still counts
  bool extendedModels = false;  // Sekiguchi-Ohta in the lab; the flag file "extended_models" too
  SolverChoice solver = SolverChoice::kAuto;  // the step solver of the search's evaluations
  UncertaintyMode uncertainty = UncertaintyMode::kAuto;  // the estimate after the search
  int threads = 0;                           // evaluation threads; 0: OMP_NUM_THREADS or all cores
  // Evaluations allowed to the thorough search; 0: its default
  // (optimisation::ThoroughBudget).
  long thoroughBudget = 0;
  // Called on the calling thread with the phase and the best point so far,
  // at most once per progressInterval (the first report always).
  optimisation::ProgressObserver progress;
  std::chrono::milliseconds progressInterval{100};
  // Ends the search as the abort file does (exit code 18) once it is true.
  const std::atomic<bool>* cancel = nullptr;
  services::ConsoleSink* console = nullptr;  // nullptr: stdout and stderr
  bool progressLine = true;  // the self-updating line while stderr is a terminal
  // Receives the CPU time of every task of the run's parallel batches (a
  // benchmark's measure of parallel efficiency); nullptr: nothing is timed.
  services::BatchTiming* batchTiming = nullptr;
  // Given: after each progress report that names a new best point of the
  // search, that point is simulated once more (in a context of its own, so
  // the search is not touched) and its curves handed over as one line of
  // JSON (run/live_curves.hpp); the first such line is the measured curves.
  std::function<void(const std::string&)> liveCurves;
  std::string liveCurvesModel;  // named in those lines (a comparison's model)
};

// A free parameter's outcome as the summary names it: the job file's name
// and units for a TOML job (degrees, E), the result file's name otherwise.
struct ParameterOutcome {
  std::string name;
  std::string unit;          // "" for a native job and dimensionless values
  double best = 0.0;
  double sensitivity = 0.0;  // relative, largest 100; -1 after an abort
};

struct CalibrationOutcome {
  bool ran = false;          // the run sequence ran (a refused TOML job never gets to it)
  // Nothing was written into the job folder (another run works there, or an
  // input is named like an output): no result file, summary or report.
  bool untouched = false;
  Outcome outcome;           // exit code, or a kernel error
  std::string message;       // what ended a run that failed, in one line
  bool interrupted = false;  // the search was stopped by a signal or the stop flag
  std::string folder;        // project folder ("" = the current directory)
  std::optional<optimisation::SwarmResult> found;  // once the search has ended
  std::vector<ParameterOutcome> parameters;        // once the result body was written
  // The summary and curves the run wrote its summary and report from; none
  // when nothing was written into the folder (or they could not be built).
  std::shared_ptr<const CalibrationRecord> record;
};

// Runs the job of request.path as the program does (run/run_sequence.cpp).
// `heldLock`: the job folder's lock, when the caller took it before it wrote
// the job there (a TOML job); the run keeps it instead of taking the folder
// again and lets it go at its end.
CalibrationOutcome RunCalibration(const CalibrationRequest& request,
                                  services::FolderLock heldLock = services::FolderLock{});

}  // namespace soilcal::run
