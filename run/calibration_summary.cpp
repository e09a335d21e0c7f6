// The calibration summary built from the records the result writer uses:
// the job, the search result and the last "General" section. The per-curve
// errors come from simulating the tests once more at the start and at the
// best values, as the reference and the final run did.
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <numbers>
#include <utility>
#include <set>
#include <string>

#include "labtest/context.hpp"
#include "models/parameter_table.hpp"
#include "optimisation/curve_errors.hpp"
#include "optimisation/objective.hpp"
#include "report/stress_path.hpp"
#include "report/curve_reading.hpp"
#include "report/uncertainty_text.hpp"
#include "run/calibration_outputs.hpp"
#include "run/scale_hints.hpp"
#include "run/summary_facts.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

namespace {

using report::CurveSeries;

// The free parameters as the test files give them, once every test file is
// read (the job's material is set only then).
std::optional<double> StartValue(const input::Job& job, int slot) {
  if (job.material.version == 0) return std::nullopt;
  if (slot < 0 || slot >= static_cast<int>(job.material.params.size())) return std::nullopt;
  return job.material.params[static_cast<std::size_t>(slot)];
}

template <typename T>
std::optional<T> At(const std::vector<T>& v, std::size_t i) {
  return i < v.size() ? std::optional<T>(v[i]) : std::nullopt;
}

// A TOML job's parameter under its own name and in its units; the slot's
// best value stays beside.
void InJobUnits(const input::ParameterLanguage& language, report::ParameterSummary& p) {
  auto convert = [&](double v) { return input::ToJobValue(language, v); };
  p.jobUnits = true;
  p.name = language.name;
  p.unit = language.unit;
  p.startRule = language.startRule;
  p.slotBest = p.best;
  p.lower = convert(p.lower);
  p.upper = convert(p.upper);
  if (p.start) p.start = convert(*p.start);
  if (p.best) p.best = convert(*p.best);
}

void Parameters(const input::Job& job, const CalibrationTrace& trace, report::Summary& s) {
  const input::OptimisationSettings& o = job.settings;
  // A best point the search never evaluated (stopped while drawing its
  // starting points) is no calibrated value.
  const bool withBest = trace.found && trace.finalStarted && trace.found->bestEvaluated;
  for (std::size_t j = 0; j < static_cast<std::size_t>(std::max(o.nParams, 0)) && j < o.index.size(); ++j) {
    report::ParameterSummary p;
    p.slot = o.index[j];
    p.name = ParamName(p.slot, job.modelNumber % 100);
    p.lower = At(o.lower, j).value_or(0.0);
    p.upper = At(o.upper, j).value_or(0.0);
    p.start = StartValue(job, p.slot);
    if (withBest) {
      p.best = At(trace.found->best, j);
      p.sensitivity = At(trace.found->sensitivity, j);
    }
    if (job.language && j < job.language->parameters.size()) InJobUnits(job.language->parameters[j], p);
    s.parameters.push_back(std::move(p));
  }
}

// The start void ratio a test of a TOML job gives its own specimen: the
// porosity is slot 20; the void ratio is the value of a slot of the model's
// own e0 when it has one (exactly as given), else it follows from the
// porosity.
std::optional<report::SpecimenStart> OwnStart(const input::Job& job, std::size_t test) {
  if (!job.language || test >= job.language->testSlots.size()) return std::nullopt;
  const std::vector<input::TestSlot>& own = job.language->testSlots[test];
  const auto porosity = std::find_if(own.begin(), own.end(),
                                     [](const input::TestSlot& o) { return o.slot == 20; });
  if (porosity == own.end() || !(porosity->value > 0.0 && porosity->value < 1.0)) return std::nullopt;
  report::SpecimenStart start{porosity->name, porosity->value / (1.0 - porosity->value), porosity->value};
  for (const input::TestSlot& o : own) {
    if (o.slot != 20 && o.value > 0.0 && std::abs(o.value / (1.0 + o.value) - start.porosity) < 1e-12) {
      start.voidRatio = o.value;
    }
  }
  return start;
}

// Tests and curves with what the readers got to; measured points in the
// file's column order.
void Tests(const input::Job& job, report::Summary& s, report::JobCurves& curves) {
  for (std::size_t ti = 0; ti < job.tests.size(); ++ti) {
    const input::LabTest& test = job.tests[ti];
    report::TestSummary t;
    t.file = services::BareName(test.testFile);
    if (job.language && ti < job.language->sources.size()) t.sources = job.language->sources[ti];
    t.ownStart = OwnStart(job, ti);
    std::vector<report::CurvePoints> points;
    for (std::size_t c = 0; c < test.curveFiles.size(); ++c) {
      report::CurveSummary curve;
      curve.file = services::BareName(test.curveFiles[c]);
      curve.label = CurveLabel(job, ti, c);
      report::CurvePoints p;
      if (c < test.curves.size()) {
        const input::Curve& m = test.curves[c];
        curve.column1 = m.swapped ? m.yCode : m.xCode;
        curve.column2 = m.swapped ? m.xCode : m.yCode;
        curve.nPoints = m.nPoints;
        p.measured = m.swapped ? CurveSeries{m.y, m.x} : CurveSeries{m.x, m.y};
      }
      t.curves.push_back(std::move(curve));
      points.push_back(std::move(p));
    }
    s.tests.push_back(std::move(t));
    curves.push_back(std::move(points));
  }
}

// Simulates the job at x, from material set `set1` when given; nullopt when
// the simulation ends the run.
std::optional<optimisation::JobErrors> Simulate(const input::Job& job,
                                                const models::ModelResources& resources,
                                                const models::MaterialSet* set1,
                                                std::span<const double> x, bool keep) {
  try {
    auto ctx = std::make_unique<labtest::SimulationContext>();
    labtest::InitContext(*ctx, job, resources);
    if (set1 != nullptr) optimisation::StartFromMaterialSet(*ctx, *set1);
    return optimisation::CurveErrors(job, *ctx, x, keep);
  } catch (...) {
    return std::nullopt;
  }
}

// Fills the start or best side of every curve.
void Fits(const optimisation::JobErrors& errors, bool best, report::Summary& s,
          report::JobCurves& curves) {
  for (std::size_t t = 0; t < errors.tests.size() && t < s.tests.size(); ++t) {
    const auto& tested = errors.tests[t].curves;
    for (std::size_t c = 0; c < tested.size() && c < s.tests[t].curves.size(); ++c) {
      const report::CurveFitSummary fit{
          tested[c].error, tested[c].nValid, tested[c].nUninformative,
          tested[c].objective / static_cast<double>(tested.size())};
      (best ? s.tests[t].curves[c].best : s.tests[t].curves[c].start) = fit;
      // The report draws what the objective compared (later phases shifted).
      (best ? curves[t][c].best : curves[t][c].start) =
          report::AsCompared(CurveSeries{tested[c].x, tested[c].y}, curves[t][c].measured,
                             s.tests[t].curves[c].segments, s.tests[t].loadSteps);
    }
  }
}

// Every flag of a free parameter is a warning, so that the outcome never
// reads "calibrated" without them; a sentence shared by two parameters
// (a correlated pair) once. Near-bound flags have their warning already.
void FlagWarnings(report::Summary& s) {
  std::set<std::string> said;
  for (const report::Warning& w : s.warnings) said.insert(w.text);
  for (const report::ParameterSummary& p : s.parameters) {
    if (!p.uncertainty) continue;
    for (const auto& flag : p.uncertainty->flags) {
      if (flag.kind == "near_bound" || !said.insert(flag.text).second) continue;
      s.warnings.push_back({"uncertainty_" + flag.kind, flag.text});
    }
  }
}

// The stored value of `slot`: the calibrated one when it was free and the
// search got one (second: true), else the test files' start value.
std::optional<std::pair<double, bool>> SlotValue(const input::Job& job, const report::Summary& s,
                                                 int slot) {
  for (const report::ParameterSummary& p : s.parameters) {
    if (p.slot != slot) continue;
    const std::optional<double> stored = p.jobUnits ? p.slotBest : p.best;
    if (!stored) return std::nullopt;
    return std::make_pair(*stored, true);
  }
  if (const auto start = StartValue(job, slot)) return std::make_pair(*start, false);
  return std::nullopt;
}

// The critical-state line of the model: M = 6 sin φ / (3 − sin φ) where
// the model's table shows slot 3 as the friction angle φ, else the model's
// critical stress ratio M of slot 31.
std::optional<report::CriticalStateLine> CriticalStateOf(const input::Job& job,
                                                        const report::Summary& s) {
  const int base = job.modelNumber % 100;
  const auto phi = models::params::DisplayOfSlot(base, 3);
  if (phi && phi->sine && phi->symbol == "φ") {
    const auto v = SlotValue(job, s, 3);
    if (!v || !(v->first > 0.0 && v->first < 1.0)) return std::nullopt;
    const double degrees = std::asin(v->first) * 180.0 / std::numbers::pi;
    return report::CriticalStateLine{report::CriticalStateM(degrees), degrees, v->second};
  }
  const auto m = models::params::DisplayOfSlot(base, 31);
  if (m && m->symbol == "M") {
    const auto v = SlotValue(job, s, 31);
    if (!v || !(v->first > 0.0 && v->first < 3.0)) return std::nullopt;
    return report::CriticalStateLine{v->first, std::nullopt, v->second};
  }
  return std::nullopt;
}

}  // namespace

void BuildCalibrationSummary(const input::Job& job, const models::ModelResources& resources,
                             const CalibrationTrace& trace,
                             const std::optional<GeneralRecord>& general,
                             report::Summary& s, report::JobCurves& curves) {
  s.job = job.language ? job.language->jobFile : services::BareName(job.argument);
  if (general) {
    s.exitCode = general->exitCode;
    s.exitName = general->exitCode == 0 ? "" : ExitCodeName(general->exitCode);
    s.wallMs = general->wallMs;
    s.cpuSeconds = general->cpu;
  }
  s.kernelError = trace.kernelError;
  s.inputDigest = trace.inputDigest;
  if (general && general->exitCode == services::kUserAbort && trace.found &&
      trace.found->exitStatus == 0) {
    s.stoppedAfterSearch =
        "the calibrated values, the result file and the curves are finished; the uncertainty "
        "step is not (its profile intervals are missing or incomplete)";
  }
  s.evaluations = trace.found ? trace.found->evaluations : trace.last.evaluations;
  s.iterations = trace.found ? trace.found->iterations : trace.last.iteration;
  Parameters(job, trace, s);
  Tests(job, s, curves);
  AddJobFacts(job, trace, s);
  s.criticalState = CriticalStateOf(job, s);

  if (trace.referenceWritten) {
    if (const auto start = Simulate(job, resources, nullptr, {}, true)) {
      Fits(*start, false, s, curves);
      if (start->usable) s.start = report::PointSummary{start->meanError, start->objective};
    }
  }
  if (trace.found && trace.finalStarted && trace.found->bestEvaluated) {
    s.best = report::PointSummary{trace.found->bestError, trace.found->bestObjective};
  }
  if (trace.found && trace.finalWritten) {
    const models::MaterialSet* set1 = trace.startSet ? &*trace.startSet : nullptr;
    if (const auto best = Simulate(job, resources, set1, trace.found->best, false)) {
      Fits(*best, true, s, curves);
    }
  }
  s.warnings = s.inputWarnings;
  for (report::Warning& w : report::CollectWarnings(s, curves)) s.warnings.push_back(std::move(w));
  for (report::Warning& w : ScaleHints(job, s, curves)) s.warnings.push_back(std::move(w));
  if (trace.uncertainty) {
    report::DescribeUncertainty(*trace.uncertainty, job, s);
    FlagWarnings(s);
  }
}

}  // namespace soilcal::run
