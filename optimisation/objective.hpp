// The objective: a vector of free parameters judged by the fit of every
// test's simulated curves to the measured ones.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "models/family.hpp"
#include "optimisation/problem.hpp"

namespace soilcal::services {
struct RunServices;
}

namespace soilcal::optimisation {

inline constexpr double kPenaltyInadmissible = 1e21;
inline constexpr double kPenaltyRunFailed = 1e22;
inline constexpr double kPenaltySmallOverlap = 1e23;

// Bounds and the per-model admissibility rules, on a copy of material set 1
// with x written into the free slots.
bool IsAdmissibleParameterSet(const input::Job& job, const models::PropSoil& set1,
                              std::span<const double> x);

// First and last recorded point of phase p (1-based) of `test`.
int PhaseFirstPoint(int p, const input::LabTest& test);
int PhaseLastPoint(int p, const input::LabTest& test);

// One evaluation on the given context (its own material set 1).
Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x);

// Simulates every test once and writes each curve's simulated points next to
// its measured file, with `suffix` appended to the file name. With
// keepTestParameters the material of the test files is used unchanged.
void WriteSimulatedCurves(const input::Job& job, labtest::SimulationContext& ctx,
                          std::span<const double> x, const std::string& suffix,
                          bool keepTestParameters);

// The job seen as a Problem by the optimiser; owns its simulation context.
// It evaluates in the run state (files, diagnostics) of the thread that made
// it, whichever thread calls it.
class JobObjective : public Problem {
 public:
  JobObjective(const input::Job& job, const models::ModelResources& resources);
  Evaluation Evaluate(std::span<const double> x) override;
  bool IsAdmissible(std::span<const double> x) override;
  // A copy with its own context and user-model session, starting from this
  // one's material set 1; nullptr for user-defined models unless the toggle
  // USE_PARALLEL_UDSM_STRESS_INTEGRATION allows parallel calls. Not to be
  // called while this objective evaluates on another thread.
  std::unique_ptr<Problem> Clone() const override;
  labtest::SimulationContext& context() { return ctx_; }

 private:
  const input::Job& job_;
  models::ModelResources resources_;  // the run's, as given
  services::RunServices* services_;   // run state of the creating thread
  labtest::SimulationContext ctx_;
};

}  // namespace soilcal::optimisation
