// The progress line, the trace of the run and the files written at its end.
#include "run/calibration_outputs.hpp"

#include <algorithm>
#include <exception>

#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

namespace {

constexpr const char* kReferencedSuffix = "_referenced";
constexpr const char* kCalculatedSuffix = "_calculated";

}  // namespace

void CalibrationOutputs::Note(const optimisation::SearchProgress& p) {
  trace_.last = p;
  line_.Show(p);
}

optimisation::ProgressObserver CalibrationOutputs::Observer() {
  return [this](const optimisation::SearchProgress& p) { Note(p); };
}

void CalibrationOutputs::CurvesStarting(const std::string& suffix) {
  optimisation::SearchProgress p = trace_.last;
  p.phase = suffix == kReferencedSuffix ? optimisation::SearchPhase::kReferenceRun
                                        : optimisation::SearchPhase::kFinalRun;
  p.convergence = -1.0;
  if (p.phase == optimisation::SearchPhase::kFinalRun) trace_.finalStarted = true;
  Note(p);
}

void CalibrationOutputs::CurvesWritten(const std::string& suffix) {
  if (suffix == kReferencedSuffix) trace_.referenceWritten = true;
  if (suffix == kCalculatedSuffix) trace_.finalWritten = true;
}

void CalibrationOutputs::KernelError(const std::string& message) {
  const std::string text = services::TrimRight(message);
  trace_.kernelError = text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

void CalibrationOutputs::SearchEnded(const optimisation::SwarmResult& found) {
  trace_.found = found;
  trace_.last.evaluations = found.evaluations;
  trace_.last.iteration = found.iterations;
  trace_.last.bestError = found.bestError;
}

void CalibrationOutputs::Finish(const input::Job& job, const models::ModelResources& resources,
                                const ResultFile& result, const std::string& folder) {
  line_.Finish();
  try {
    report::Summary summary;
    report::JobCurves curves;
    BuildCalibrationSummary(job, resources, trace_, result.lastGeneral(), summary, curves);
    report::WriteSummaryJson(summary, services::ResolvePath(folder + report::kSummaryFileName));
    report::WriteTextFile(services::ResolvePath(folder + report::kReportFileName),
                          report::RenderCalibrationReport(summary, curves));
  } catch (...) {
    // The result file is what the host reads; the report must never cost it.
  }
}

}  // namespace soilcal::run
