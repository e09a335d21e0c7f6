// The Jacobian of the residuals at the best point, by central differences in
// coordinates scaled to the bounds. The best point and the 2 n moved points
// are one batch: evaluated at once on the pool's clones, taken in order.
#include <cmath>

#include "optimisation/uncertainty_parts.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {
namespace {

// The moved point of parameter j on `side` (+1, -1), when it lies in the box
// and the admissibility rules accept it.
bool MovedPoint(Problem& problem, std::span<const double> best, const UncertaintyOptions& o,
                std::size_t j, int side, std::vector<double>& x) {
  const double range = o.upper[j] - o.lower[j];
  if (!(range > 0.0)) return false;
  x.assign(best.begin(), best.end());
  x[j] = best[j] + side * o.step * range;
  if (x[j] < o.lower[j] || x[j] > o.upper[j]) return false;
  return problem.IsAdmissible(x);
}

struct Side {
  const std::vector<double>* r = nullptr;  // residuals; nullptr: none
  double du = 0.0;                         // signed step in scaled coordinates
};

// d r_i / d u from the two sides where both are there, one side and the
// best point otherwise.
double Slope(const Side& forward, const Side& backward, const std::vector<double>& r0,
             std::size_t i) {
  const bool f = forward.r && std::isfinite((*forward.r)[i]);
  const bool b = backward.r && std::isfinite((*backward.r)[i]);
  if (f && b) return ((*forward.r)[i] - (*backward.r)[i]) / (forward.du - backward.du);
  if (f) return ((*forward.r)[i] - r0[i]) / forward.du;
  if (b) return ((*backward.r)[i] - r0[i]) / backward.du;
  return 0.0;
}

}  // namespace

ScaledJacobian JacobianAtBest(ProblemPool& pool, std::span<const double> best,
                              const UncertaintyOptions& o) {
  const std::size_t n = best.size();
  // Task 0 is the best point, then forward and backward of each parameter
  // where they can be taken.
  std::vector<std::vector<double>> points{std::vector<double>(best.begin(), best.end())};
  std::vector<int> forwardTask(n, -1), backwardTask(n, -1);
  std::vector<double> x;
  for (std::size_t j = 0; j < n; ++j) {
    for (int side : {1, -1}) {
      if (!MovedPoint(pool.primary(), best, o, j, side, x)) continue;
      (side > 0 ? forwardTask : backwardTask)[j] = static_cast<int>(points.size());
      points.push_back(x);
    }
  }
  std::vector<ResidualEvaluation> out(points.size());
  RunBatch(
      pool, static_cast<int>(points.size()),
      [&](int k, Problem& problem) {
        try {
          out[k] = problem.EvaluateResiduals(points[k]);
        } catch (const services::KernelAbort&) {
          out[k] = ResidualEvaluation{};  // a kernel error: no residuals there
          out[k].evaluation.status = 1;
        }
      },
      [](int) { return true; });

  ScaledJacobian jac;
  jac.evaluations = static_cast<long>(points.size());
  jac.atBest = out[0].evaluation;
  jac.residuals = out[0].residuals;
  jac.hasColumn.assign(n, false);
  if (jac.residuals.empty()) return jac;
  jac.usable = true;

  const std::vector<double>& r0 = jac.residuals;
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < r0.size(); ++i) {
    if (std::isfinite(r0[i])) rows.push_back(i);
  }
  jac.J = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(rows.size()), static_cast<Eigen::Index>(n));
  for (std::size_t j = 0; j < n; ++j) {
    auto side = [&](int task) {
      Side s;
      if (task < 0 || out[task].residuals.size() != r0.size()) return s;
      s.r = &out[task].residuals;
      s.du = (points[task][j] - best[j]) / (o.upper[j] - o.lower[j]);
      return s;
    };
    const Side forward = side(forwardTask[j]), backward = side(backwardTask[j]);
    if (!forward.r && !backward.r) continue;
    jac.hasColumn[j] = true;
    for (std::size_t row = 0; row < rows.size(); ++row) {
      jac.J(static_cast<Eigen::Index>(row), static_cast<Eigen::Index>(j)) =
          Slope(forward, backward, r0, rows[row]);
    }
  }
  return jac;
}

}  // namespace soilcal::optimisation
