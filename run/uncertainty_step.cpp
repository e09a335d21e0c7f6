// The uncertainty step of a run, around optimisation::EstimateUncertainty:
// which estimate the run asks for, and nothing of it may cost the result.
#include "run/uncertainty_step.hpp"

#include <exception>

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

std::optional<optimisation::UncertaintyResult> RunUncertaintyStep(
    const UncertaintyRequest& request, const input::Job& job,
    const optimisation::SwarmResult& found, optimisation::Problem& objective) {
  if (request.mode == UncertaintyMode::kOff) return std::nullopt;
  const bool aborted = found.exitStatus == services::kUserAbort;
  optimisation::UncertaintyOptions options;
  options.lower = job.settings.lower;
  options.upper = job.settings.upper;
  options.derived = request.derived;
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
  options.fastProfiles = request.fastProfiles;
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
