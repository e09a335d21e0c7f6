// The objective: a vector of free parameters judged by the fit of every
// test's simulated curves to the measured ones.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "input/records.hpp"
#include "labtest/context.hpp"
#include "labtest/driver.hpp"
#include "models/family.hpp"
#include "optimisation/problem.hpp"
#include "optimisation/simulated_curves.hpp"

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

// nullptr when the vector is admissible, else the rule it breaks, in words.
const char* InadmissibleReason(const input::Job& job, const models::PropSoil& set1,
                               std::span<const double> x);

// First and last recorded point of phase p (1-based) of `test`.
int PhaseFirstPoint(int p, const input::LabTest& test);
int PhaseLastPoint(int p, const input::LabTest& test);

// "test 2 (OEDO.VLT)": test t (0-based) as messages name it.
std::string TestLabel(std::size_t t, const input::LabTest& test);
// PrepareLabTest and RunLabTest of test t (0-based); a kernel error raised
// inside leaves with the test named in its `where`.
labtest::LabTestRun RunTest(labtest::SimulationContext& ctx, const input::LabTest& test,
                            std::size_t t);

// One evaluation on the given context (its own material set 1).
Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x);
// The same evaluation, also giving the objective's terms in `residuals`
// (test by test, curve by curve, in measured-point order; see
// ResidualEvaluation), the same arithmetic, so the sum of their squares is
// the objective up to rounding.
Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x, std::vector<double>* residuals);

// Makes `ctx` start from material set 1 `set1` (the completed material of
// the reference run) instead of the job's material.
void StartFromMaterialSet(labtest::SimulationContext& ctx, const models::MaterialSet& set1);

// Simulates every test once and writes each curve's simulated points next to
// its measured file, with `suffix` appended to the file name. With
// keepTestParameters the material of the test files is used unchanged.
// With `information`, also counts per test and curve the measured points
// that carry no information at these values (optimisation/simulated_curves.hpp).
void WriteSimulatedCurves(const input::Job& job, labtest::SimulationContext& ctx,
                          std::span<const double> x, const std::string& suffix,
                          bool keepTestParameters,
                          std::vector<std::vector<CurveInformation>>* information = nullptr);

// The job seen as a Problem by the optimiser; owns its simulation context.
// It evaluates in the run state (files, diagnostics) of the thread that made
// it, whichever thread calls it.
class JobObjective : public Problem {
 public:
  JobObjective(const input::Job& job, const models::ModelResources& resources);
  // Starts from `set1`, material set 1 as the reference run left it (with
  // the completion it wrote back), instead of the job's material as read.
  JobObjective(const input::Job& job, const models::ModelResources& resources,
               const models::MaterialSet& set1);
  Evaluation Evaluate(std::span<const double> x) override;
  ResidualEvaluation EvaluateResiduals(std::span<const double> x) override;
  bool IsAdmissible(std::span<const double> x) override;
  // A copy with its own context and user-model session, starting from this
  // one's material set 1; nullptr for user-defined models unless the toggle
  // USE_PARALLEL_UDSM_STRESS_INTEGRATION allows parallel calls. Not to be
  // called while this objective evaluates on another thread.
  std::unique_ptr<Problem> Clone() const override;
  // kFast: the fast step solver (labtest::StepSolver::kFast); kExact: the
  // prescribed iteration. Clones take the setting.
  bool SetPrecision(Precision precision) override;
  void SetStepSolver(labtest::StepSolver solver) { ctx_.stepSolver = solver; }
  labtest::StepSolver stepSolver() const { return ctx_.stepSolver; }
  labtest::SimulationContext& context() { return ctx_; }

  // Material set 1 the objective started from: an input that never changes,
  // so an objective made for another thread starts from the same set.
  const models::MaterialSet& startSet() const { return start_; }

 private:
  const input::Job& job_;
  models::ModelResources resources_;  // the run's, as given
  services::RunServices* services_;   // run state of the creating thread
  models::MaterialSet start_;
  labtest::SimulationContext ctx_;
};

}  // namespace soilcal::optimisation
