// The uncertainty step of a run, around optimisation::EstimateUncertainty:
// which estimate the run asks for, and nothing of it may cost the result.
#include "run/uncertainty_step.hpp"

#include <cmath>
#include <exception>

#include "models/parameter_table.hpp"
#include "optimisation/derived_slots.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::run {

std::vector<std::string> WarnAboutDerivedSlots(const input::Job& job,
                                               const models::PropSoil& set1) {
  std::vector<std::string> notes = optimisation::DerivedSlotNotes(job, set1);
  for (const std::string& note : notes) {
    if (!note.empty()) services::Warn(note);
  }
  return notes;
}

namespace {

constexpr double kUnbounded = 1e299;  // the parameter table's open-ended ranges

}  // namespace

void PhysicalRanges(const input::Job& job, optimisation::UncertaintyOptions& options) {
  const int model = job.modelNumber % 100;
  const models::params::Model* table = models::params::FindModel(model);
  if (table == nullptr) table = models::params::FindUserModel(job.material.name, model);
  const std::size_t n = job.settings.index.size();
  options.physicalLow.assign(n, -INFINITY);
  options.physicalHigh.assign(n, INFINITY);
  if (table == nullptr) return;
  for (std::size_t j = 0; j < n; ++j) {
    const models::params::Parameter* p = models::params::FindParameterForSlot(*table, job.settings.index[j]);
    if (p == nullptr) continue;
    double partner = 0.0;
    if (!p->partner.empty()) {
      const models::params::Parameter* q = models::params::FindParameter(*table, p->partner);
      if (q == nullptr || q->slot < 0 || static_cast<std::size_t>(q->slot) >= job.material.params.size()) continue;
      partner = job.material.params[static_cast<std::size_t>(q->slot)];
    }
    const auto stored = [&](double given, double atInfinity) {
      if (std::abs(given) >= kUnbounded) return atInfinity;
      return models::params::ToStored(*p, given, partner);
    };
    // Every conversion rises with the value given; a void ratio without
    // end is a porosity below 1.
    const bool porosity = p->stored == models::params::Stored::kPorosityFromVoidRatio;
    const double low = stored(p->range.low, -INFINITY);
    const double high = stored(p->range.high, porosity ? 1.0 : INFINITY);
    if (!std::isnan(low)) options.physicalLow[j] = low;
    if (!std::isnan(high)) options.physicalHigh[j] = high;
  }
}

std::optional<optimisation::UncertaintyResult> RunUncertaintyStep(
    const UncertaintyRequest& request, const input::Job& job,
    const optimisation::SwarmResult& found, optimisation::Problem& objective) {
  if (request.mode == UncertaintyMode::kOff) return std::nullopt;
  const bool aborted = found.exitStatus == services::kUserAbort;
  optimisation::UncertaintyOptions options;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;
  options.derived = request.derived;
  PhysicalRanges(job, options);
  if (request.progress) {
    options.progress = [&](const optimisation::SearchProgress& step) {
      optimisation::SearchProgress p = step;
      p.evaluations += found.evaluations;
      p.iteration = found.iterations;
      p.bestError = found.bestError;
      p.bestObjective = found.bestObjective;
      request.progress(p);
    };
  }
  options.abortFlagPath = request.folder + "AbortCalc";
  options.profiles = !aborted && (request.mode == UncertaintyMode::kProfile ||
                                  (request.mode == UncertaintyMode::kAuto &&
                                   request.search == SearchMode::kThorough));
  optimisation::UncertaintyResult result;
  try {
    result = optimisation::EstimateUncertainty(objective, found.best, options);
  } catch (const services::KernelAbort& abort) {
    result = optimisation::UncertaintyResult{};
    result.whyNot = "a kernel error in a simulated test (" + services::TrimRight(abort.message) + ")";
  } catch (const std::exception&) {
    result = optimisation::UncertaintyResult{};
    result.whyNot = "an internal error";
  }
  if (result.profilesRun) {
    services::Notice("uncertainty: " + std::to_string(result.jacobianEvaluations) +
                     " evaluations for the Jacobian and " +
                     std::to_string(result.profileEvaluations) + " for the profiles (at most " +
                     std::to_string(optimisation::ProfileBudget(static_cast<int>(found.best.size()))) +
                     " per parameter)");
  }
  return result;
}

}  // namespace soilcal::run
