// The fast iteration of a load step: the equilibrium iteration of the
// prescribed solver with its matrix improved by Broyden's update after every
// iteration, so that it learns the tangent stiffness of a plastic step from
// the stresses the model returns. It needs nothing of the model beyond its
// stress call, so it serves every model, the user libraries included.
//
// The step starts from the same set-up (iteration matrix, targets, initial
// prediction) and stops on the same error test. It makes at least two
// iterations, as the prescribed one does, never more than the iteration
// limit, and gives up (the caller then runs the prescribed iteration from
// the same start) when the error stops falling, turns non-finite, or a trial
// strain makes the model fail. Broyden's method: C. G. Broyden (1965), "A
// class of methods for solving nonlinear simultaneous equations", Math.
// Comp. 19, 577-593; here its "good" update of the inverse matrix.
#include <cmath>
#include <limits>

#include "labtest/step_parts.hpp"
#include "labtest/stress_update.hpp"
#include "services/errors.hpp"

namespace soilcal::labtest::step {
namespace {

// Iterations without a new smallest error after which the step is handed
// to the prescribed iteration.
constexpr int kStallLimit = 8;

Vec6 Masked(const Vec6& v, const Vec6& mask) {
  Vec6 out;
  for (int i = 0; i < 6; ++i) out[i] = mask[i] * v[i];
  return out;
}

// H += (s - H y) (s^T H) / (s^T H y): afterwards H y = s, so H maps the
// last change of the out-of-balance onto the strain step that caused it.
// H is held transposed (Ht), as the step solver holds its inverse. Skipped
// when the denominator vanishes against the vectors' sizes.
void BroydenUpdate(Mat6& Ht, const Vec6& s, const Vec6& y) {
  const Vec6 Hy = MatVecTransposed(Ht, y);
  const Vec6 sH = MatVec(Ht, s);
  const double den = Dot(s, Hy);
  const double scale = std::sqrt(Dot(s, s) * Dot(Hy, Hy));
  if (!(std::abs(den) > 1e-12 * scale)) return;
  for (int j = 0; j < 6; ++j) {
    const double a = sH[j] / den;
    for (int i = 0; i < 6; ++i) Ht[j][i] += a * (s[i] - Hy[i]);
  }
}

}  // namespace

bool FastIteration(SimulationContext& ctx, const StepSystem& sys, int& iterations) {
  MaterialPoint& pt = ctx.point;
  iterations = 0;
  // The inverse of the iteration matrix, rows and columns of the prescribed
  // strains the identity: a step never moves a prescribed strain. Its
  // first step is the prescribed iteration's second, to the bit.
  const Mat6& elastic = pt.inverseTransposed;
  Mat6 Ht = elastic;
  Vec6 r = sys.r;
  Vec6 s{};
  double previous = std::numeric_limits<double>::infinity();
  double smallest = previous;
  int sinceSmallest = 0;
  pt.iterRelaxation = 1.0;
  for (int iter = 1;; ++iter) {
    pt.iter = iter;
    iterations = iter;
    if (iter >= 2) {
      s = Masked(MatVecTransposed(Ht, r), sys.Sd);
      for (int i = 0; i < 6; ++i) pt.dEps[i] += s[i];
    }
    try {
      UpdateMaterialPointStress(ctx, iter);
    } catch (const services::KernelAbort&) {
      // A trial strain the prescribed iteration might never try: it decides.
      return false;
    }
    ++ctx.totalIterations;
    const Vec6 before = r;
    const double error = OutOfBalance(pt, sys.start, sys.Sd, sys.Pd, r);
    if (!std::isfinite(error)) return false;
    if (iter >= 2 && error < pt.tolerance) return true;
    if (iter >= pt.maxIterations) return false;
    if (iter >= 2) {
      if (error > previous) {
        // The update misled: go on from the elastic matrix.
        Ht = elastic;
      } else {
        Vec6 y;
        for (int i = 0; i < 6; ++i) y[i] = before[i] - r[i];
        BroydenUpdate(Ht, s, Masked(y, sys.Sd));
      }
    }
    if (error < smallest) {
      smallest = error;
      sinceSmallest = 0;
    } else if (++sinceSmallest >= kStallLimit) {
      return false;
    }
    previous = error;
  }
}

}  // namespace soilcal::labtest::step
