// Placeholder so the tree links; replaced by the objective.
#include "optimisation/objective.hpp"

namespace soilcal::optimisation {
bool IsAdmissibleParameterSet(const input::Job&, const models::PropSoil&, std::span<const double>) { return true; }
int PhaseFirstPoint(int, const input::LabTest&) { return 1; }
int PhaseLastPoint(int, const input::LabTest&) { return 1; }
Evaluation EvaluateObjective(const input::Job&, labtest::SimulationContext&, std::span<const double>) { return {}; }
void WriteSimulatedCurves(const input::Job&, labtest::SimulationContext&, std::span<const double>,
                          const std::string&, bool) {}
JobObjective::JobObjective(const input::Job& job, const models::ModelResources& r) : job_(job) {
  labtest::InitContext(ctx_, job, r);
}
Evaluation JobObjective::Evaluate(std::span<const double> x) { return EvaluateObjective(job_, ctx_, x); }
bool JobObjective::IsAdmissible(std::span<const double> x) { return IsAdmissibleParameterSet(job_, ctx_.set1.prop, x); }
}  // namespace soilcal::optimisation
