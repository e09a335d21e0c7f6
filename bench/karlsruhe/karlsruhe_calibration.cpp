#include "bench/karlsruhe/karlsruhe_calibration.hpp"

#include <nlopt.h>

#include <Eigen/Dense>
#include <cmath>

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

Calibration Calibrate(const Parameters& base, const std::vector<Measured>& tests,
                      bool volumetric, std::array<double, kFree> start) {
  Problem pr{&base, &tests, volumetric, 0, {}};
  Calibration c;
  std::array<double, kFree> x = start;
  double best = SumOfSquares(pr, x, pr.r);
  // Subplex to a relative change of 1e-6 in x, restarted from its end with a
  // fresh simplex until a restart moves no parameter by more than 1e-4 of
  // its value (at most 8 runs).
  for (int run = 0; run < 8; ++run) {
    nlopt_opt opt = nlopt_create(NLOPT_LN_SBPLX, kFree);
    nlopt_set_lower_bounds(opt, kLower.data());
    nlopt_set_upper_bounds(opt, kUpper.data());
    nlopt_set_min_objective(opt, Objective, &pr);
    nlopt_set_xtol_rel(opt, 1e-6);
    nlopt_set_maxeval(opt, 4000);
    std::array<double, kFree> step{};
    for (std::size_t j = 0; j < kFree; ++j) step[j] = 0.05 * (kUpper[j] - kLower[j]);
    nlopt_set_initial_step(opt, step.data());
    std::array<double, kFree> y = x;
    double value = best;
    nlopt_optimize(opt, y.data(), &value);
    nlopt_destroy(opt);
    double moved = 0.0;
    for (std::size_t j = 0; j < kFree; ++j) {
      moved = std::max(moved, std::abs(y[j] - x[j]) / std::max(std::abs(x[j]), 1e-3));
    }
    if (value <= best) {
      x = y;
      best = value;
    }
    c.restarts = run;
    if (run > 0 && moved < 1e-4) {
      c.converged = true;
      break;
    }
  }
  c.x = x;
  c.objective = best;
  c.evaluations = pr.evaluations;
  for (std::size_t j = 0; j < kFree; ++j) {
    c.atBound[j] = x[j] <= kLower[j] * (1 + 1e-6) + 1e-9 || x[j] >= kUpper[j] * (1 - 1e-6);
  }
  c.correlationOk = Correlation(pr, x, c.correlation);
  return c;
}

}  // namespace karlsruhe
