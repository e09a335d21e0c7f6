// The root of a scalar function that falls through zero on a bracket, by the
// Illinois variant of regula falsi (Dowell and Jarratt 1971, "A modified
// regula falsi method for computing the root of an equation", BIT 11,
// 168-174): the secant of the bracket's ends, and the value kept at an end
// that stays twice in a row halved, so that the bracket shrinks from both
// sides and the order of convergence is about 1.44 where plain regula falsi
// is linear. The bracket is kept, so the root never leaves [lo, hi].
#pragma once

#include <cmath>

namespace soilcal::models {

struct FallingRoot {
  double x = 0.0;          // the root: an iterate within tolF of zero, else the high end
  bool converged = false;  // false: the iteration limit came first
  int evaluations = 0;     // calls of the function
};

// The root of f on [lo, hi] with flo = f(lo) > 0 >= fhi = f(hi). It ends at
// the first iterate whose |f| <= tolF (that iterate), or when the bracket
// has shrunk to the rounding of hi or its secant no longer falls inside it
// (the high end, the last point known to lie at or past the root), or after
// maxIterations (the high end, not converged).
template <class F>
FallingRoot FindFallingRoot(const F& f, double lo, double flo, double hi, double fhi,
                            double tolF, int maxIterations = 200) {
  FallingRoot root;
  int side = 0;  // which end moved last: 1 the low end, -1 the high end
  for (int k = 0; k < maxIterations; ++k) {
    if (!(hi - lo > 1e-15 * std::fabs(hi))) {
      root.converged = true;
      break;
    }
    const double x = (lo * fhi - hi * flo) / (fhi - flo);
    if (!(x > lo && x < hi)) {
      root.converged = true;
      break;
    }
    const double fx = f(x);
    ++root.evaluations;
    if (std::fabs(fx) <= tolF) {
      root.x = x;
      root.converged = true;
      return root;
    }
    if (fx > 0.0) {
      lo = x;
      flo = fx;
      if (side == 1) fhi *= 0.5;
      side = 1;
    } else {
      hi = x;
      fhi = fx;
      if (side == -1) flo *= 0.5;
      side = -1;
    }
  }
  root.x = hi;
  return root;
}

}  // namespace soilcal::models
