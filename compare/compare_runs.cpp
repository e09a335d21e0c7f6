#include "compare/compare_runs.hpp"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "jobs/front_end.hpp"
#include "report/comparison.hpp"
#include "report/curve_reading.hpp"
#include "report/html_report.hpp"
#include "report/summary_json.hpp"
#include "run/calibration.hpp"
#include "run/messages.hpp"
#include "run/progress_line.hpp"
#include "run/run_timer.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "services/notices.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::compare {

using jobs::ConsoleLog;
using jobs::kConsoleLogName;

namespace {

// Runs one model's job; returns its process status under --exit-status, a
// note when the run could not leave a summary of its own, and the record
// its summary and report were written from.
int RunModel(const ModelToCompare& model, const run::RunOptions& options,
             services::ConsoleSink& console, std::string& note,
             std::shared_ptr<const run::CalibrationRecord>& record) {
  run::CalibrationRequest request;
  request.console = &console;
  request.path = model.optimisationFile;
  request.search = options.search;
  request.extendedModels = options.extendedModels;
  request.solver = options.solver;
  request.uncertainty = options.uncertainty;
  if (options.progressJson) {
    // Each model's progress lines name the model, as a comparison runs them in turn.
    request.progress = [name = model.name](const optimisation::SearchProgress& p) {
      run::WriteJsonLine(run::ProgressJson(p, name));
    };
    request.progressInterval = std::chrono::milliseconds(0);
    request.progressLine = false;
  }
  if (options.progressCurves) {
    request.liveCurves = run::WriteJsonLine;
    request.liveCurvesModel = model.name;
  }
  const run::CalibrationOutcome done = run::RunCalibration(request);
  if (done.untouched) note = "its folder could not be used: " + done.message;
  record = done.record;
  return run::ProcessStatus(done.outcome);
}

// A model as its run left it: from the run's own record when it ran in this
// comparison, else (a finished run reused) from its summary and curve files.
report::ComparedModel Collect(const ModelToCompare& model, const std::string& note,
                              const run::CalibrationRecord* record) {
  report::ComparedModel m;
  m.name = model.name;
  m.label = model.label;
  m.folder = model.folderText;
  m.note = note;
  if (!note.empty()) return m;
  if (record != nullptr) {
    m.summary = record->summary;
    m.curves = record->curves;
    return m;
  }
  const std::string path = model.folder + report::kSummaryFileName;
  if (!services::FileExists(path)) return m;
  std::string error;
  m.summary = report::ReadSummaryJson(services::ResolvePath(path), error);
  if (!m.summary) {
    m.note = "its summary cannot be read: " + error;
    return m;
  }
  m.curves = report::ReadJobCurves(*m.summary, model.folder);
  return m;
}

bool Write(const std::string& folder, const std::string& name, const std::string& text) {
  const std::string path = services::ResolvePath(folder + name);
  const services::WriteStatus status = services::WriteFileAtomically(path, text);
  if (!status) services::ReportOutputFailure(path, status.cause);
  return status.ok;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(services::ResolvePath(path), ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

void RemoveComparisonFiles(const std::string& folder) {
  for (const char* name : {report::kComparisonJsonName, report::kComparisonReportName}) {
    std::error_code ec;
    std::filesystem::remove(services::ResolvePath(folder + name), ec);
  }
}

int RunComparison(const std::vector<ModelToCompare>& models, const ComparisonSettings& settings) {
  int worst = 0;
  std::vector<report::ComparedModel> compared;
  ConsoleLog log(settings.outputFolder + kConsoleLogName, settings.options.verbose);
  run::RunTimer timer(models.empty() ? "comparison" : models.front().name);
  for (std::size_t i = 0; i < models.size(); ++i) {
    const ModelToCompare& model = models[i];
    timer.Enter(model.name);
    const std::string which = "model " + std::to_string(i + 1) + " of " +
                              std::to_string(models.size()) + ", " + model.name;
    std::string note;
    std::shared_ptr<const run::CalibrationRecord> record;
    if (model.reuse) {
      services::Notice(which + ": the finished run in " + model.folderText + " is reused");
    } else if (services::InterruptRequested()) {
      // As a batch counts a job it never started: aborted.
      note = "not run: the comparison was stopped before it";
      worst = std::max(worst, static_cast<int>(services::kUserAbort));
    } else {
      services::Notice(which + ": calibrating in " + model.folderText);
      worst = std::max(worst, RunModel(model, settings.options, log, note, record));
    }
    compared.push_back(Collect(model, note, record.get()));
  }

  timer.Enter("comparison");
  report::Comparison comparison = report::CompareModels(settings.title, std::move(compared));
  comparison.runTimes = timer.Now();
  const bool json = Write(settings.outputFolder, report::kComparisonJsonName,
                          report::ComparisonJson(comparison));
  const bool page = Write(settings.outputFolder, report::kComparisonReportName,
                          report::RenderComparisonReport(comparison));
  services::Notice("comparison: " + comparison.verdict);
  services::Notice("time: " + report::TimesText(*comparison.runTimes, false) + "; CPU time " +
                   report::ShortNumber(comparison.runTimes->cpu, 3) + " s");
  if (page) {
    services::Notice("comparison report: " +
                     Absolute(settings.outputFolder + report::kComparisonReportName));
  }
  if (!json || !page) worst = std::max(worst, run::kOutputNotWrittenStatus);
  return worst;
}

}  // namespace soilcal::compare
