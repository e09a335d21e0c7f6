// Linearised statistics from the singular value decomposition of the scaled
// Jacobian: covariance s^2 V S^-2 V^T over the directions the curves
// determine, standard errors, t intervals, correlations, condition number.
#include <algorithm>
#include <cmath>
#include <limits>

#include "optimisation/student_t.hpp"
#include "optimisation/uncertainty_parts.hpp"

namespace soilcal::optimisation {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A parameter whose share of a direction without effect exceeds this is not
// determined by the curves.
constexpr double kNullShare = 1e-6;

}  // namespace

LinearModel LinearisedStatistics(const ScaledJacobian& jac, std::span<const double> best,
                                 const UncertaintyOptions& o, UncertaintyResult& out) {
  const Eigen::Index m = jac.J.rows();
  const Eigen::Index n = jac.J.cols();
  out.residualCount = static_cast<int>(m);
  out.degreesOfFreedom = static_cast<int>(m - n);
  out.objective = 0.0;
  for (double r : jac.residuals) {
    if (std::isfinite(r)) out.objective += r * r;
  }
  const bool haveVariance = out.degreesOfFreedom > 0;
  out.residualVariance = haveVariance ? out.objective / out.degreesOfFreedom : kNaN;
  out.tQuantile = haveVariance ? StudentTQuantile(0.975, out.degreesOfFreedom) : kNaN;
  out.profileThreshold =
      haveVariance ? out.objective * (1.0 + out.tQuantile * out.tQuantile / out.degreesOfFreedom)
                   : kNaN;

  LinearModel model;
  model.inverse = Eigen::MatrixXd::Constant(n, n, kNaN);
  model.determined.assign(static_cast<std::size_t>(n), false);
  model.scaledError.assign(static_cast<std::size_t>(n), kInf);

  Eigen::JacobiSVD<Eigen::MatrixXd> svd(jac.J, Eigen::ComputeFullV);
  const Eigen::VectorXd sigma = svd.singularValues();
  const Eigen::MatrixXd& V = svd.matrixV();
  out.singularValues.assign(sigma.data(), sigma.data() + sigma.size());
  const double largest = sigma.size() > 0 ? sigma(0) : 0.0;
  // Singular values at the rounding level of the largest count as zero.
  const double tol = largest * static_cast<double>(std::max(m, n)) *
                     std::numeric_limits<double>::epsilon();
  Eigen::Index rank = 0;
  while (rank < sigma.size() && sigma(rank) > tol) ++rank;
  out.conditionNumber = rank == n && rank > 0 ? largest / sigma(n - 1) : kInf;

  // Undetermined: a noticeable share in a direction without effect.
  for (Eigen::Index j = 0; j < n; ++j) {
    bool determined = true;
    for (Eigen::Index i = rank; i < n; ++i) {
      if (std::abs(V(j, i)) > kNullShare) determined = false;
    }
    model.determined[static_cast<std::size_t>(j)] = determined;
  }
  Eigen::MatrixXd inverse = Eigen::MatrixXd::Zero(n, n);
  for (Eigen::Index i = 0; i < rank; ++i) {
    inverse += V.col(i) * V.col(i).transpose() / (sigma(i) * sigma(i));
  }

  for (Eigen::Index j = 0; j < n; ++j) {
    for (Eigen::Index k = 0; k < n; ++k) {
      if (model.determined[static_cast<std::size_t>(j)] &&
          model.determined[static_cast<std::size_t>(k)]) {
        model.inverse(j, k) = inverse(j, k);
      }
    }
  }
  out.correlation.assign(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n), kNaN));
  out.parameters.assign(static_cast<std::size_t>(n), ParameterUncertainty{});
  for (Eigen::Index j = 0; j < n; ++j) {
    const auto sj = static_cast<std::size_t>(j);
    ParameterUncertainty& p = out.parameters[sj];
    p.value = best[sj];
    if (model.determined[sj]) {
      model.scaledError[sj] = haveVariance ? std::sqrt(out.residualVariance * inverse(j, j)) : kNaN;
    }
    p.standardError = model.scaledError[sj] * (o.upper[sj] - o.lower[sj]);
    p.low95 = p.value - out.tQuantile * p.standardError;
    p.high95 = p.value + out.tQuantile * p.standardError;
    // The correlation does not depend on s^2: taken from (J^T J)^-1 alone.
    for (Eigen::Index k = 0; k < n; ++k) {
      const double d = model.inverse(j, j) * model.inverse(k, k);
      if (d > 0.0) out.correlation[sj][static_cast<std::size_t>(k)] = model.inverse(j, k) / std::sqrt(d);
    }
  }
  // One direction without effect (two parameters that act only as a product,
  // say): the parameters on it trade off exactly, a correlation of +-1.
  if (rank == n - 1) {
    for (Eigen::Index j = 0; j < n; ++j) {
      for (Eigen::Index k = 0; k < n; ++k) {
        const double share = V(j, n - 1) * V(k, n - 1);
        if (std::abs(V(j, n - 1)) > kNullShare && std::abs(V(k, n - 1)) > kNullShare) {
          out.correlation[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
              j == k ? 1.0 : (share > 0.0 ? 1.0 : -1.0);
        }
      }
    }
  }
  return model;
}

}  // namespace soilcal::optimisation
