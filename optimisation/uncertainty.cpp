// The uncertainty step: the Jacobian at the best point, the linearised
// statistics, the profiles when asked for, then the flags.
#include "optimisation/uncertainty.hpp"

#include "optimisation/uncertainty_parts.hpp"

namespace soilcal::optimisation {

UncertaintyResult EstimateUncertainty(Problem& problem, std::span<const double> best,
                                      const UncertaintyOptions& options) {
  UncertaintyResult out;
  out.step = options.step;
  if (best.empty() || options.lower.size() != best.size() || options.upper.size() != best.size()) {
    out.whyNot = "no free parameters with bounds";
    return out;
  }
  ProblemPool pool(problem, options.threads);
  const ScaledJacobian jacobian = JacobianAtBest(pool, best, options);
  out.jacobianEvaluations = jacobian.evaluations;
  SearchProgress told;
  told.phase = SearchPhase::kUncertainty;
  told.evaluations = jacobian.evaluations;
  Report(options.progress, told);
  if (!jacobian.usable) {
    out.whyNot = jacobian.atBest.status != 0 || jacobian.atBest.objective >= 1e21
                     ? "the best point cannot be simulated"
                     : "the objective gives no residuals";
    return out;
  }
  if (jacobian.J.rows() == 0) {
    out.whyNot = "no measured point lies inside the simulated range";
    return out;
  }
  const LinearModel linear = LinearisedStatistics(jacobian, best, options, out);
  out.computed = true;
  if (options.profiles) ProfileLikelihoods(pool, best, options, linear, out);
  SetFlags(jacobian, options, out);
  return out;
}

}  // namespace soilcal::optimisation
