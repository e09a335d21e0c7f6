// Small dense linear algebra of the material-point solver: vectors and
// matrices of order n <= 6 held in fixed arrays, so nothing allocates.
#pragma once

#include "models/tensor.hpp"

namespace soilcal::labtest {

// Smallest pivot magnitude the inversion accepts; a smaller one is replaced
// by +/-kPivotGuard and the elimination carries on.
inline constexpr double kPivotGuard = 1e-30;

// out = a x + b y over the first n components.
inline void Axpby(int n, double a, const Vec6& x, double b, const Vec6& y, Vec6& out) {
  for (int i = 0; i < n; ++i) out[i] = a * x[i] + b * y[i];
}

// Inverse of the leading n x n block of `a` by Gauss-Jordan elimination with
// partial pivoting. A (nearly) zero pivot is reported on the diagnostic
// channel (with the whole matrix when `dumpMatrix`) and replaced by
// +/-kPivotGuard, so a singular matrix gives a huge but finite inverse.
// Returns the number of replaced pivots.
int InvertMatrix(const Mat6& a, Mat6& ainv, int n = 6, bool dumpMatrix = true);

}  // namespace soilcal::labtest
