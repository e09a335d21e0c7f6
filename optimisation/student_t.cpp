// Student's t through the regularised incomplete beta function of Eigen's
// special functions: P(|T| > t) = I_x(dof/2, 1/2) with x = dof / (dof + t^2)
// (Abramowitz and Stegun 26.7.1); the quantile by bisection on the CDF.
#include "optimisation/student_t.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include <unsupported/Eigen/SpecialFunctions>

namespace soilcal::optimisation {
namespace {

// Beyond 1e8 degrees of freedom t is the normal distribution to 1e-8, and
// the argument dof / (dof + t^2) of the beta function starts to round to 1.
constexpr double kMaxDof = 1e8;

}  // namespace

double StudentTCdf(double t, double dof) {
  if (!(dof > 0.0) || std::isnan(t)) return std::numeric_limits<double>::quiet_NaN();
  if (std::isinf(t)) return t > 0.0 ? 1.0 : 0.0;
  const double nu = std::min(dof, kMaxDof);
  const double x = nu / (nu + t * t);
  const double tail = 0.5 * Eigen::numext::betainc(0.5 * nu, 0.5, x);
  return t > 0.0 ? 1.0 - tail : tail;
}

double StudentTQuantile(double p, double dof) {
  if (!(p > 0.0 && p < 1.0) || !(dof > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  if (p == 0.5) return 0.0;
  const double upper = std::max(p, 1.0 - p);
  double lo = 0.0, hi = 1.0;
  while (StudentTCdf(hi, dof) < upper && hi < 1e300) hi *= 2.0;
  // The CDF is monotonic: 200 halvings reach the last bit of any double.
  for (int i = 0; i < 200 && hi - lo > 0.0; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (mid == lo || mid == hi) break;
    (StudentTCdf(mid, dof) < upper ? lo : hi) = mid;
  }
  const double t = 0.5 * (lo + hi);
  return p > 0.5 ? t : -t;
}

}  // namespace soilcal::optimisation
