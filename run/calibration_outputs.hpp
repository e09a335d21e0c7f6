// What a calibration shows beside its result file: the progress line while
// it runs, calibration_summary.json and calibration_report.html when it
// ends, whatever way it ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "input/records.hpp"
#include "models/family.hpp"
#include "optimisation/progress.hpp"
#include "optimisation/pswarm.hpp"
#include "optimisation/uncertainty.hpp"
#include "report/summary.hpp"
#include "run/calibration_record.hpp"
#include "run/options.hpp"
#include "run/progress_line.hpp"
#include "run/result_file.hpp"
#include "run/run_timer.hpp"

namespace soilcal::run {

// How far the run got; the start and best curves of the report exist once
// their curve files were written.
struct CalibrationTrace {
  bool referenceWritten = false;   // the "_referenced" files
  bool finalStarted = false;       // the result body was written, the final run began
  bool finalWritten = false;       // the "_calculated" files
  std::optional<optimisation::SwarmResult> found;
  // Material set 1 as the reference run completed it: where the search and
  // the final run start, so the best values are simulated from it too.
  std::optional<models::MaterialSet> startSet;
  optimisation::SearchProgress last;  // the last progress report
  std::string kernelError;         // message of the kernel error that ended the run
  std::optional<SearchMode> search;  // once the search was chosen
  long thoroughBudget = 0;         // the thorough search's evaluations; 0: its default
  // The uncertainty step at the best point; none when switched off or never reached.
  std::optional<optimisation::UncertaintyResult> uncertainty;
  std::string inputDigest;         // of the inputs, once all were read
};

// The summary and the curves of the report, built from the job, the search
// result and the result file's last "General" section. Simulates the tests
// once more at the start and the best values for the per-curve errors.
void BuildCalibrationSummary(const input::Job& job, const models::ModelResources& resources,
                             const CalibrationTrace& trace,
                             const std::optional<GeneralRecord>& general,
                             report::Summary& summary, report::JobCurves& curves);

class CalibrationOutputs {
 public:
  CalibrationOutputs() = default;
  CalibrationOutputs(const CalibrationOutputs&) = delete;
  CalibrationOutputs& operator=(const CalibrationOutputs&) = delete;

  // No progress line, even on a terminal (a front end that shows its own).
  void HideProgressLine();
  // The observer to hand to the search (the progress line and the trace).
  optimisation::ProgressObserver Observer() const;
  // Before and after writing simulated curves with `suffix`.
  void CurvesStarting(const std::string& suffix);
  void CurvesWritten(const std::string& suffix);
  void StartSetKnown(const models::MaterialSet& set1);
  void InputsRead(std::string digest);
  void SearchChosen(SearchMode mode, long thoroughBudget = 0);
  void SearchEnded(const optimisation::SwarmResult& found);
  // The search went on from a better point after its end: the best point
  // is `found`'s from now on (the time stays with the current part).
  void SearchContinued(const optimisation::SwarmResult& found);
  // Before and after the uncertainty step.
  void UncertaintyStarting();
  void UncertaintyKnown(std::optional<optimisation::UncertaintyResult> result);
  void KernelError(const std::string& message);
  // Ends the progress line and writes the summary and the report into
  // `folder`; returns what they were written from. Never throws: what
  // cannot be known is left out (nullptr when the summary cannot be built).
  std::shared_ptr<const CalibrationRecord> Finish(const input::Job& job, const models::ModelResources& resources,
              const ResultFile& result, const std::string& folder);

 private:
  // What the observer changes lives behind a pointer, so that the observer
  // of a const object can still note progress.
  struct State {
    ProgressLine line;
    CalibrationTrace trace;
    RunTimer timer;
    void Note(const optimisation::SearchProgress& p);
  };
  std::unique_ptr<State> state_ = std::make_unique<State>();
};

}  // namespace soilcal::run
