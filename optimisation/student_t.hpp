// Student's t distribution: the quantile that turns a standard error into a
// confidence interval when the residual variance is estimated from the fit.
#pragma once

namespace soilcal::optimisation {

// P(T <= t) for T with `dof` degrees of freedom (dof > 0, not necessarily an
// integer).
double StudentTCdf(double t, double dof);

// The t with P(T <= t) = p, for p in (0, 1) and dof > 0; NaN outside.
double StudentTQuantile(double p, double dof);

}  // namespace soilcal::optimisation
