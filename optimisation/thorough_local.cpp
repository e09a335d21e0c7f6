// The local stage of the thorough search: NLopt's Sbplx (Rowan's subplex
// method, a Nelder-Mead variant on subspaces) inside the unit box, started
// from the best point of the global stage and restarted with a smaller step
// while a round still improves. Sbplx needs no gradient and copes with the
// penalty values of inadmissible points and failed test runs.
#include <algorithm>
#include <exception>
#include <memory>

#include "optimisation/thorough_state.hpp"

#include <nlopt.h>

namespace soilcal::optimisation {
namespace {

constexpr double kPenaltyFloor = 1e21;  // what an unusable point is worth to Sbplx
constexpr int kRounds = 4;
constexpr long kReportEvery = 20;

struct OptDeleter {
  void operator()(nlopt_opt opt) const { nlopt_destroy(opt); }
};
using Optimizer = std::unique_ptr<std::remove_pointer_t<nlopt_opt>, OptDeleter>;

struct Callback {
  ThoroughRun& run;
  nlopt_opt opt = nullptr;
  std::vector<double> x;
  long calls = 0;
  std::exception_ptr failure;  // C code must not be unwound through
};

double Objective(unsigned n, const double* u, double* /*grad*/, void* data) {
  auto& c = *static_cast<Callback*>(data);
  ThoroughRun& run = c.run;
  const std::span<const double> point(u, n);
  Evaluation e{kPenaltyFloor, kPenaltyFloor, 1};
  try {
    run.ToParameters(point, c.x);
    e = run.eval.EvaluateOne(c.x);
    run.Offer(point, e);
  } catch (...) {
    c.failure = std::current_exception();
    nlopt_force_stop(c.opt);
  }
  if (run.abort.Requested()) {
    run.aborted = true;
    nlopt_force_stop(c.opt);
  }
  if (++c.calls % kReportEvery == 0) {
    ++run.iteration;
    run.Tell(SearchPhase::kIterations, -1.0, run.options.tolerance);
  }
  return e.status == 0 ? e.objective : std::max(e.objective, kPenaltyFloor);
}

// One Sbplx run from u, which it moves to the best point it found; returns
// that point's objective.
double Round(ThoroughRun& run, std::vector<double>& u, long evaluations, double step) {
  const auto n = static_cast<unsigned>(run.n);
  Optimizer opt(nlopt_create(NLOPT_LN_SBPLX, n));
  if (!opt) return kNoObjective;
  Callback c{run, opt.get(), std::vector<double>(n), 0, nullptr};
  nlopt_set_lower_bounds1(opt.get(), 0.0);
  nlopt_set_upper_bounds1(opt.get(), 1.0);
  nlopt_set_min_objective(opt.get(), Objective, &c);
  nlopt_set_maxeval(opt.get(), static_cast<int>(std::min<long>(evaluations, 1L << 30)));
  if (run.adaptive) {
    // A hundredth of the job's tolerance in the objective, or the point
    // fixed to 1e-6 of the box.
    nlopt_set_ftol_rel(opt.get(), 0.01 * run.options.tolerance);
    nlopt_set_xtol_rel(opt.get(), 1e-6);
  } else {
    nlopt_set_ftol_rel(opt.get(), 1e-10);
    nlopt_set_xtol_rel(opt.get(), 1e-8);
  }
  nlopt_set_initial_step1(opt.get(), step);
  double reached = kNoObjective;
  nlopt_optimize(opt.get(), u.data(), &reached);
  if (c.failure) std::rethrow_exception(c.failure);
  return reached;
}

}  // namespace

void LocalStage(ThoroughRun& run, long evaluations, const GlobalOutcome& start) {
  if (start.best.empty() || run.n == 0) return;
  const long first = run.eval.evaluations();
  std::vector<double> u = start.best;
  double objective = start.objective;
  double step = std::clamp(start.step, 1e-3, 0.1);
  for (int round = 0; round < kRounds && !run.aborted; ++round) {
    const long left = evaluations - (run.eval.evaluations() - first);
    if (left < 2L * run.n + 2) break;
    const double reached = Round(run, u, left, step);
    PrintLabelledValue("ERROR", run.bestError);
    // Adaptive: a local stage followed by the exact refinement makes one
    // round; the last local stage goes on while a round gains a tenth of
    // the tolerance.
    if (run.adaptive && run.exactRefinementFollows && !run.exactRefinement) break;
    const double gain = run.adaptive ? 0.1 * run.options.tolerance : 1e-9;
    if (!(objective - reached > gain * std::abs(objective))) break;
    objective = reached;
    step = std::max(step * 0.25, 1e-4);
  }
}

}  // namespace soilcal::optimisation
