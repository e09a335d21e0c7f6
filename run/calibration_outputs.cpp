// The progress line, the trace of the run and the files written at its end.
#include "run/calibration_outputs.hpp"

#include <algorithm>
#include <exception>

#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "run/closing_lines.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

namespace {

constexpr const char* kReferencedSuffix = "_referenced";
constexpr const char* kCalculatedSuffix = "_calculated";

}  // namespace

void CalibrationOutputs::State::Note(const optimisation::SearchProgress& p) {
  trace.last = p;
  line.Show(p);
}

optimisation::ProgressObserver CalibrationOutputs::Observer() const {
  State* state = state_.get();
  return [state](const optimisation::SearchProgress& p) { state->Note(p); };
}

void CalibrationOutputs::HideProgressLine() { state_->line = ProgressLine(stderr, false); }

void CalibrationOutputs::CurvesStarting(const std::string& suffix) {
  optimisation::SearchProgress p = state_->trace.last;
  p.phase = suffix == kReferencedSuffix ? optimisation::SearchPhase::kReferenceRun
                                        : optimisation::SearchPhase::kFinalRun;
  p.convergence = -1.0;
  if (p.phase == optimisation::SearchPhase::kFinalRun) state_->trace.finalStarted = true;
  state_->Note(p);
}

void CalibrationOutputs::CurvesWritten(const std::string& suffix) {
  if (suffix == kReferencedSuffix) state_->trace.referenceWritten = true;
  if (suffix == kCalculatedSuffix) state_->trace.finalWritten = true;
}

void CalibrationOutputs::KernelError(const std::string& message) {
  const std::string text = services::TrimRight(message);
  state_->trace.kernelError = text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

void CalibrationOutputs::StartSetKnown(const models::MaterialSet& set1) {
  state_->trace.startSet = set1;
}

void CalibrationOutputs::InputsRead(std::string digest) {
  state_->trace.inputDigest = std::move(digest);
}

void CalibrationOutputs::SearchChosen(SearchMode mode, long thoroughBudget) {
  state_->trace.search = mode;
  state_->trace.thoroughBudget = thoroughBudget;
  state_->timer.Enter(kSearchPart);
}

void CalibrationOutputs::SearchEnded(const optimisation::SwarmResult& found) {
  state_->timer.Enter(kWritingPart);
  state_->trace.found = found;
  state_->trace.last.evaluations = found.evaluations;
  state_->trace.last.iteration = found.iterations;
  state_->trace.last.bestError = found.bestError;
}

void CalibrationOutputs::SearchContinued(const optimisation::SwarmResult& found) {
  state_->trace.found = found;
  state_->trace.last.evaluations = found.evaluations;
  state_->trace.last.iteration = found.iterations;
  state_->trace.last.bestError = found.bestError;
}

void CalibrationOutputs::UncertaintyStarting() {
  optimisation::SearchProgress p = state_->trace.last;
  p.phase = optimisation::SearchPhase::kUncertainty;
  p.convergence = -1.0;
  state_->timer.Enter(kUncertaintyPart);
  state_->Note(p);
}

void CalibrationOutputs::UncertaintyKnown(std::optional<optimisation::UncertaintyResult> result) {
  state_->trace.uncertainty = std::move(result);
}

std::shared_ptr<const CalibrationRecord> CalibrationOutputs::Finish(
    const input::Job& job, const models::ModelResources& resources, const ResultFile& result,
    const std::string& folder) {
  state_->line.Finish();
  state_->timer.Enter(kWritingPart);
  try {
    auto record = std::make_shared<CalibrationRecord>();
    report::Summary& summary = record->summary;
    report::JobCurves& curves = record->curves;
    BuildCalibrationSummary(job, resources, state_->trace, result.lastGeneral(), summary, curves);
    record->namedCurves = NamedCurves(job, summary, curves);
    // Up to the two files themselves, whose writing cannot count itself.
    summary.runTimes = state_->timer.Now();
    // Each file whole or not at all; a failure is said and counts for the
    // run's status.
    const auto write = [](const std::string& path, const std::string& text) {
      const services::WriteStatus written = services::WriteFileAtomically(path, text);
      if (!written) services::ReportOutputFailure(path, written.cause);
      return static_cast<bool>(written);
    };
    write(services::ResolvePath(folder + report::kSummaryFileName), report::SummaryToJson(summary));
    const std::string reportPath = services::ResolvePath(folder + report::kReportFileName);
    const bool written = write(reportPath, report::RenderCalibrationReport(summary, curves));
    PrintClosingLines(summary, written ? reportPath : "");
    return record;
  } catch (...) {
    // The result file is what the host reads; the report must never cost it.
  }
  return nullptr;
}

}  // namespace soilcal::run
