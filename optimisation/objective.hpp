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
class JobObjective : public Problem {
 public:
  JobObjective(const input::Job& job, const models::ModelResources& resources);
  Evaluation Evaluate(std::span<const double> x) override;
  bool IsAdmissible(std::span<const double> x) override;
  labtest::SimulationContext& context() { return ctx_; }

 private:
  const input::Job& job_;
  labtest::SimulationContext ctx_;
};

}  // namespace soilcal::optimisation
