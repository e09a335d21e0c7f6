#include "bench/karlsruhe/karlsruhe_calibration.hpp"

#include <nlopt.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace karlsruhe {

Parameters WithFree(Parameters p, const std::array<double, kFree>& x) {
  p.hs = x[0] * 1000.0;  // MPa to kPa
  p.n = x[1];
  p.alpha = x[2];
  p.beta = x[3];
  return p;
}

namespace {

struct Problem {
  const Parameters* base;
  const std::vector<Measured>* tests;
  bool volumetric;
  int evaluations = 0;
  std::vector<double> r;
};

double SumOfSquares(const Problem& pr, const std::array<double, kFree>& x, std::vector<double>& r) {
  if (!Residuals(WithFree(*pr.base, x), *pr.tests, pr.volumetric, r)) return 1e6;
  double s = 0.0;
  for (double v : r) s += v * v;
  return s;
}

double Objective(unsigned, const double* x, double*, void* data) {
  auto* pr = static_cast<Problem*>(data);
  ++pr->evaluations;
  return SumOfSquares(*pr, {x[0], x[1], x[2], x[3]}, pr->r);
}

// Correlation of the parameters from J^T J of the residuals (central
// differences, steps of 1e-3 of each parameter's value or of its range).
bool Correlation(Problem& pr, const std::array<double, kFree>& x,
                 std::array<std::array<double, kFree>, kFree>& out) {
  std::vector<double> base;
  if (!Residuals(WithFree(*pr.base, x), *pr.tests, pr.volumetric, base)) return false;
  Eigen::MatrixXd J(static_cast<Eigen::Index>(base.size()), kFree);
  for (int j = 0; j < kFree; ++j) {
    const double h = 1e-3 * std::max(std::abs(x[static_cast<std::size_t>(j)]),
                                     kUpper[static_cast<std::size_t>(j)] - kLower[static_cast<std::size_t>(j)]);
    std::array<double, kFree> up = x, down = x;
    up[static_cast<std::size_t>(j)] += h;
    down[static_cast<std::size_t>(j)] -= h;
    std::vector<double> ru, rd;
    if (!Residuals(WithFree(*pr.base, up), *pr.tests, pr.volumetric, ru) ||
        !Residuals(WithFree(*pr.base, down), *pr.tests, pr.volumetric, rd) ||
        ru.size() != base.size() || rd.size() != base.size()) {
      return false;
    }
    for (std::size_t i = 0; i < base.size(); ++i) {
      J(static_cast<Eigen::Index>(i), j) = (ru[i] - rd[i]) / (2.0 * h);
    }
  }
  const Eigen::MatrixXd C = (J.transpose() * J).completeOrthogonalDecomposition().pseudoInverse();
  for (int i = 0; i < kFree; ++i) {
    for (int j = 0; j < kFree; ++j) {
      out[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
          C(i, j) / std::sqrt(C(i, i) * C(j, j));
    }
  }
  return true;
}

}  // namespace

namespace {

// Scale of each parameter in the search: hs in MPa, n, alpha, beta.
constexpr std::array<double, kFree> kScale{1000.0, 0.1, 0.1, 1.0};

bool AtLower(const std::array<double, kFree>& x, std::size_t j) {
  return x[j] <= kLower[j] + 1e-12 * kScale[j];
}
bool AtUpper(const std::array<double, kFree>& x, std::size_t j) {
  return x[j] >= kUpper[j] - 1e-12 * kScale[j];
}

// Forward-difference Jacobian of the residuals at x (steps of 1e-4 of each
// parameter's scale, taken inwards at a bound).
bool Jacobian(Problem& pr, const std::array<double, kFree>& x, const std::vector<double>& r,
              Eigen::MatrixXd& J) {
  J.resize(static_cast<Eigen::Index>(r.size()), kFree);
  for (std::size_t j = 0; j < kFree; ++j) {
    double h = 1e-4 * kScale[j];
    if (x[j] + h > kUpper[j]) h = -h;
    std::array<double, kFree> y = x;
    y[j] += h;
    std::vector<double> ry;
    ++pr.evaluations;
    if (!Residuals(WithFree(*pr.base, y), *pr.tests, pr.volumetric, ry) || ry.size() != r.size()) {
      return false;
    }
    for (std::size_t i = 0; i < r.size(); ++i) {
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = (ry[i] - r[i]) / h * kScale[j];
    }
  }
  return true;
}

}  // namespace

Calibration Calibrate(const Parameters& base, const std::vector<Measured>& tests,
                      bool volumetric, std::array<double, kFree> start) {
  Problem pr{&base, &tests, volumetric, 0, {}};
  Calibration c;
  std::array<double, kFree> x = start;
  std::vector<double> r;
  double best = SumOfSquares(pr, x, r);
  ++pr.evaluations;
  // Levenberg-Marquardt on the scaled parameters, a parameter on its bound
  // whose gradient points outwards held there. Converged when an accepted
  // step lowers the sum of squares by less than 1e-9 of it and moves no
  // parameter by more than 1e-6 of its scale, or when the projected
  // gradient vanishes (1e-10 of the sum of squares).
  double lambda = 1e-3;
  Eigen::MatrixXd J;
  for (int iteration = 0; iteration < 200 && !c.converged; ++iteration) {
    if (!Jacobian(pr, x, r, J)) break;
    const Eigen::VectorXd rv = Eigen::Map<const Eigen::VectorXd>(r.data(), static_cast<Eigen::Index>(r.size()));
    const Eigen::VectorXd g = J.transpose() * rv;
    std::array<bool, kFree> held{};
    double projected = 0.0;
    for (std::size_t j = 0; j < kFree; ++j) {
      const auto k = static_cast<Eigen::Index>(j);
      held[j] = (AtLower(x, j) && g(k) > 0.0) || (AtUpper(x, j) && g(k) < 0.0);
      if (!held[j]) projected = std::max(projected, std::abs(g(k)));
    }
    if (projected < 1e-10 * std::max(best, 1e-30)) {
      c.converged = true;
      break;
    }
    const Eigen::MatrixXd A = J.transpose() * J;
    bool accepted = false;
    for (int trial = 0; trial < 30 && !accepted; ++trial) {
      Eigen::MatrixXd M = A;
      for (Eigen::Index k = 0; k < kFree; ++k) {
        M(k, k) += lambda * std::max(A(k, k), 1e-12);
        if (held[static_cast<std::size_t>(k)]) {
          M.row(k).setZero();
          M.col(k).setZero();
          M(k, k) = 1.0;
        }
      }
      Eigen::VectorXd rhs = -g;
      for (std::size_t j = 0; j < kFree; ++j) {
        if (held[j]) rhs(static_cast<Eigen::Index>(j)) = 0.0;
      }
      const Eigen::VectorXd step = M.ldlt().solve(rhs);
      std::array<double, kFree> y = x;
      double moved = 0.0;
      for (std::size_t j = 0; j < kFree; ++j) {
        y[j] = std::clamp(x[j] + step(static_cast<Eigen::Index>(j)) * kScale[j], kLower[j], kUpper[j]);
        moved = std::max(moved, std::abs(y[j] - x[j]) / kScale[j]);
      }
      std::vector<double> ry;
      const double value = SumOfSquares(pr, y, ry);
      ++pr.evaluations;
      if (value < best) {
        const double gain = (best - value) / best;
        x = y;
        r = std::move(ry);
        best = value;
        lambda = std::max(lambda / 3.0, 1e-9);
        accepted = true;
        if (gain < 1e-9 && moved < 1e-6) c.converged = true;
      } else {
        lambda *= 4.0;
        if (moved < 1e-10) {  // no step left that lowers the sum: a minimum
          c.converged = true;
          break;
        }
      }
    }
    c.restarts = iteration + 1;
    std::printf("  iteration %d: sum of squares %.10g at hs %.1f MPa, n %.5f, alpha %.5f, beta %.5f\n",
                iteration + 1, best, x[0], x[1], x[2], x[3]);
    if (!accepted) break;
  }
  // An independent check: subplex from the optimum, 400 evaluations.
  nlopt_opt opt = nlopt_create(NLOPT_LN_SBPLX, kFree);
  nlopt_set_lower_bounds(opt, kLower.data());
  nlopt_set_upper_bounds(opt, kUpper.data());
  nlopt_set_min_objective(opt, Objective, &pr);
  nlopt_set_maxeval(opt, 400);
  std::array<double, kFree> step{};
  for (std::size_t j = 0; j < kFree; ++j) step[j] = 0.01 * kScale[j];
  nlopt_set_initial_step(opt, step.data());
  std::array<double, kFree> y = x;
  double polished = best;
  nlopt_optimize(opt, y.data(), &polished);
  nlopt_destroy(opt);
  c.subplexGain = (best - polished) / best;
  c.x = x;
  c.objective = best;
  c.evaluations = pr.evaluations;
  for (std::size_t j = 0; j < kFree; ++j) c.atBound[j] = AtLower(x, j) || AtUpper(x, j);
  c.correlationOk = Correlation(pr, x, c.correlation);
  return c;
}

}  // namespace karlsruhe
