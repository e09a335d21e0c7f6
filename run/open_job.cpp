#include "run/open_job.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "input/job_language.hpp"
#include "labtest/context.hpp"
#include "labtest/extended_models.hpp"
#include "labtest/point_table.hpp"
#include "input/test_kind.hpp"
#include "optimisation/curve_errors.hpp"
#include "report/quantity_display.hpp"
#include "input/readers.hpp"
#include "run/argument_path.hpp"
#include "run/curve_checks.hpp"
#include "run/curve_terms.hpp"
#include "run/job_checks.hpp"
#include "run/job_input.hpp"
#include "run/messages.hpp"
#include "run/result_file.hpp"
#include "services/errors.hpp"
#include "services/fp_scope.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

// A run's per-call state on the calling thread: the job's services, and
// flush-to-zero as in the run.
struct CallScope {
  explicit CallScope(services::RunServices& services) : binding(services) {}
  services::ServicesBinding binding;
  services::ScopedFlushToZero flushToZero;
};

// One curve in the job's quantities: a TOML job's names, factors and signs,
// or the native codes with the report's labels.
CurveAt MakeCurve(const input::LabTest& test, std::size_t c, const optimisation::TestErrors& run,
                  const input::CurveLanguage* language) {
  const input::Curve& m = test.curves[c];
  const optimisation::CurveError& e = run.curves[c];
  CurveAt out;
  out.file = services::BareName(test.curveFiles[c]);
  out.xCode = m.xCode;
  out.yCode = m.yCode;
  out.error = e.error;
  out.nValid = e.nValid;
  out.measuredPhase = MeasuredPhases(m);
  for (int k = 1; k <= run.nRecorded; ++k) out.simulatedPhase.push_back(labtest::PhaseOfPoint(test, k));
  // The simulated points come in the file's column order.
  const std::vector<double>& simX = m.swapped ? e.y : e.x;
  const std::vector<double>& simY = m.swapped ? e.x : e.y;
  TermedAxes measured = InJobTerms(test, c, language, m.x, m.y);
  TermedAxes simulated = InJobTerms(test, c, language, simX, simY);
  out.xName = std::move(measured.xName);
  out.yName = std::move(measured.yName);
  out.measuredX = std::move(measured.x);
  out.measuredY = std::move(measured.y);
  out.simulatedX = std::move(simulated.x);
  out.simulatedY = std::move(simulated.y);
  return out;
}

// The measured curves of every test, with nothing simulated: what is left
// when a kernel error ends the simulation.
CurvesAt MeasuredOnly(const input::Job& job) {
  CurvesAt out;
  out.usable = false;
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    TestAt at;
    at.file = services::BareName(test.testFile);
    at.status = kStatusKernelError;
    optimisation::TestErrors none;
    none.curves.resize(test.curves.size());
    for (std::size_t c = 0; c < test.curves.size() && c < test.curveFiles.size(); ++c) {
      at.curves.push_back(MakeCurve(test, c, none, LanguageOf(job, t, c)));
    }
    out.tests.push_back(std::move(at));
  }
  return out;
}

std::vector<FreeParameter> FreeParameters(const input::Job& job) {
  std::vector<FreeParameter> out;
  const input::OptimisationSettings& s = job.settings;
  const std::vector<double> start = StartingVector(job);
  for (std::size_t j = 0; j < s.index.size() && j < s.lower.size() && j < s.upper.size(); ++j) {
    FreeParameter p;
    p.slot = s.index[j];
    p.lower = s.lower[j];
    p.upper = s.upper[j];
    p.start = j < start.size() ? start[j] : 0.0;
    if (job.language && j < job.language->parameters.size()) {
      const input::ParameterLanguage& language = job.language->parameters[j];
      p.name = language.name;
      p.unit = language.unit;
      p.lower = input::ToJobValue(language, p.lower);
      p.upper = input::ToJobValue(language, p.upper);
      p.start = input::ToJobValue(language, p.start);
    } else {
      p.name = ParamName(p.slot, job.modelNumber % 100);
    }
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace

OpenedJob::OpenedJob(const std::string& path, services::ConsoleSink* console,
                     bool extendedModels) {
  services_.console = console;
  CallScope scope(services_);
  services::InitMessageState();
  services::SetVirtualLabMode(0);
  const std::string argument = ChooseArgumentSpelling(path);
  services::SetRecordFolder(services::FolderOf(argument));
  input::ReadOptimisationInput(argument, job_);
  job_.extendedModels =
      labtest::ExtendedModelsRequested(extendedModels, services::FolderOf(argument));
  ReadTestsAndCurves(job_, capLibrary_, resources_);
  WarnAboutLikelyMistakes(job_);
  WarnAboutCurves(job_);
  parameters_ = FreeParameters(job_);

  // The reference run, in memory: what it completes in material set 1 is
  // where the search starts.
  auto ctx = std::make_unique<labtest::SimulationContext>();
  try {
    labtest::InitContext(*ctx, job_, resources_);
    startSet_ = ctx->set1;
    optimisation::CurveErrors(job_, *ctx, StartingVector(job_), true);
    startSet_ = ctx->set1;
  } catch (const services::KernelAbort& abort) {
    kernelError_ = KernelErrorLine(abort);
  }
  objective_ = std::make_unique<optimisation::JobObjective>(job_, resources_, startSet_);
}

std::vector<double> OpenedJob::Stored(std::span<const double> x) const {
  if (x.size() != parameters_.size()) {
    throw std::invalid_argument("the job has " + std::to_string(parameters_.size()) +
                                " free parameters, the vector " + std::to_string(x.size()) +
                                " values");
  }
  std::vector<double> stored(x.begin(), x.end());
  if (!job_.language) return stored;
  for (std::size_t j = 0; j < stored.size() && j < job_.language->parameters.size(); ++j) {
    stored[j] = input::ToStoredValue(job_.language->parameters[j], stored[j]);
  }
  return stored;
}

PointEvaluation OpenedJob::Evaluate(std::span<const double> x) {
  const std::vector<double> stored = Stored(x);
  std::lock_guard lock(mutex_);
  CallScope scope(services_);
  try {
    const optimisation::Evaluation e = objective_->Evaluate(stored);
    return {e.objective, e.error, e.status, e.reason != nullptr ? e.reason : ""};
  } catch (const services::KernelAbort& abort) {
    // The context may be left mid-test: the next evaluation gets a fresh one.
    objective_ = std::make_unique<optimisation::JobObjective>(job_, resources_, startSet_);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan, kStatusKernelError, KernelErrorLine(abort)};
  }
}

CurvesAt OpenedJob::Curves(std::optional<std::span<const double>> x) {
  std::vector<double> stored;
  if (x) stored = Stored(*x);
  std::lock_guard lock(mutex_);
  CallScope scope(services_);
  CurvesAt out;
  try {
    auto ctx = std::make_unique<labtest::SimulationContext>();
    labtest::InitContext(*ctx, job_, resources_);
    if (x) optimisation::StartFromMaterialSet(*ctx, startSet_);
    const optimisation::JobErrors errors = optimisation::CurveErrors(job_, *ctx, stored, !x);
    out.meanError = errors.meanError;
    out.objective = errors.objective;
    out.usable = errors.usable;
    for (std::size_t t = 0; t < job_.tests.size() && t < errors.tests.size(); ++t) {
      const input::LabTest& test = job_.tests[t];
      TestAt at;
      at.file = services::BareName(test.testFile);
      at.status = errors.tests[t].status;
      at.nRecorded = errors.tests[t].nRecorded;
      for (std::size_t c = 0; c < test.curves.size() && c < errors.tests[t].curves.size(); ++c) {
        at.curves.push_back(MakeCurve(test, c, errors.tests[t], LanguageOf(job_, t, c)));
      }
      out.tests.push_back(std::move(at));
    }
  } catch (const services::KernelAbort& abort) {
    out = MeasuredOnly(job_);
    out.kernelError = KernelErrorLine(abort);
  }
  return out;
}

}  // namespace soilcal::run
