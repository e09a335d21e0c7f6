#include "run/summary_facts.hpp"

#include <algorithm>
#include <filesystem>

#include "input/test_kind.hpp"
#include "models/parameter_table.hpp"
#include "optimisation/thorough_search.hpp"
#include "services/errors.hpp"
#include "services/interrupt.hpp"
#include "services/notices.hpp"
#include "services/version.hpp"

namespace soilcal::run {

namespace {

namespace params = models::params;


// The folder as an absolute path with a trailing separator, "" when none.
std::string AbsoluteFolder(const std::string& folder) {
  if (folder.empty()) return "";
  std::error_code ec;
  std::string out = std::filesystem::absolute(folder, ec).lexically_normal().string();
  if (ec) return folder;
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

void ParameterDisplays(const input::Job& job, report::Summary& s) {
  const input::MaterialInput& m = job.material;
  for (report::ParameterSummary& p : s.parameters) {
    const auto shown = params::DisplayOfSlot(job.modelNumber % 100, p.slot, m.name);
    // A TOML name that converts (phi in degrees, E for G) carries its own
    // unit; a slot_N name holds the slot's value and is shown as a native one.
    if (p.jobUnits && !p.name.starts_with("slot_")) {
      // A TOML job's values are already in its own units, angles in degrees.
      p.display = report::ParameterDisplay{shown ? shown->symbol : p.name,
                                           shown ? shown->words : "", p.unit, false};
      continue;
    }
    if (!shown) continue;
    p.display = report::ParameterDisplay{
        shown->symbol, shown->words,
        params::UnitText(shown->quantity, m.forceUnit, m.lengthUnit, m.timeUnit), shown->sine};
  }
}

void TestFacts(const input::Job& job, report::Summary& s) {
  for (std::size_t t = 0; t < s.tests.size() && t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    report::TestSummary& out = s.tests[t];
    out.header = test.material.header;
    out.material = test.material.name;
    out.type = input::RecogniseTestType(test);
    out.loadSteps = test.loadSteps;
    out.initialStress = test.initialStress;
    // Drainage type 2 (model number base + 200) is the undrained set.
    out.undrained = test.modelNumber / 100 == 2;
    for (std::size_t c = 0; c < out.curves.size() && c < test.curves.size(); ++c) {
      out.curves[c].segments = test.curves[c].segmentSizes;
    }
  }
}

// Why the run stopped, in one word.
std::string StopReason(const CalibrationTrace& trace, const report::Summary& s) {
  if (!s.exitCode) return "kernel_error";
  if (*s.exitCode == services::kUserAbort) return services::InterruptRequested() ? "interrupted" : "abort_file";
  if (*s.exitCode != 0) return "run_error";
  if (!trace.found) return "";
  if (s.maxIterations && trace.found->iterations >= *s.maxIterations) return "iteration_limit";
  // The evaluations of a continuation after the profiles come on top of the budget.
  const long searched = trace.found->evaluations - trace.found->continuationEvaluations;
  if (s.maxEvaluations && searched >= *s.maxEvaluations) return "evaluation_budget";
  return "converged";
}

void SearchFacts(const input::Job& job, const CalibrationTrace& trace, report::Summary& s) {
  if (!trace.search) return;
  if (*trace.search == SearchMode::kThorough) {
    s.searchMode = "thorough";
    s.maxEvaluations = trace.thoroughBudget > 0 ? trace.thoroughBudget
                                                : optimisation::ThoroughBudget(job.settings.nParams);
    if (trace.found) {
      s.continuations = trace.found->continuations;
      s.continuationEvaluations = trace.found->continuationEvaluations;
    }
  } else {
    s.searchMode = "default";
    s.maxIterations = optimisation::SwarmOptions{}.maxIterations;
  }
}

}  // namespace

void AddJobFacts(const input::Job& job, const CalibrationTrace& trace, report::Summary& s) {
  s.programVersion = kVersion;
  s.jobFolder = AbsoluteFolder(job.projectFolder);
  // The optimisation file was read up to its tolerance: a run without it
  // never got there.
  if (job.settings.tolerance > 0.0) {
    s.intensity = job.settings.intensity;
    s.tolerance = job.settings.tolerance;
  }
  // The material is set once every test file is read.
  if (job.material.version != 0) {
    s.modelNumber = job.modelNumber;
    s.modelName = report::ModelName(job.modelNumber, job.material.name);
    s.units = report::JobUnits{job.material.forceUnit, job.material.lengthUnit, job.material.timeUnit};
    ParameterDisplays(job, s);
  }
  TestFacts(job, s);
  SearchFacts(job, trace, s);
  s.stopReason = StopReason(trace, s);
  for (const services::LoggedWarning& w : services::RunWarnings()) {
    s.inputWarnings.push_back({w.kind, w.text});
  }
}

std::string CurveLabel(const input::Job& job, std::size_t t, std::size_t c) {
  if (!job.language || t >= job.language->curves.size()) return "";
  const auto& curves = job.language->curves[t];
  if (c >= curves.size() || curves[c].source.empty()) return "";
  std::string quantity = curves[c].y.name;
  std::replace(quantity.begin(), quantity.end(), '_', ' ');
  return curves[c].source + " (" + quantity + ")";
}

}  // namespace soilcal::run
