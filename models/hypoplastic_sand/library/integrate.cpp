#include "integrate.hpp"

#include <algorithm>
#include <cmath>

namespace hypoplastic {
namespace {

constexpr int kMaxSubsteps = 20000;
constexpr double kMinFraction = 1e-9;  // smallest substep, as a part of the increment

State Advance(const State& s, double h, const Rates& r) {
  State out;
  out.T = s.T + h * r.T;
  out.e = s.e + h * r.e;
  out.delta = s.delta + h * r.delta;
  return out;
}

State Combine(const State& s, double h, const Rates* k, const double* b, int stages) {
  State out = s;
  for (int i = 0; i < stages; ++i) {
    out.T += h * b[i] * k[i].T;
    out.e += h * b[i] * k[i].e;
    out.delta += h * b[i] * k[i].delta;
  }
  return out;
}

// Scaled error of a substep (1 = as large as the tolerance allows).
double ScaledError(const Parameters& p, const State& high, const State& low) {
  const double stressScale = std::max(Norm(high.T), MinimumPressure(p));
  double err = Norm(high.T - low.T) / stressScale;
  err = std::max(err, std::abs(high.e - low.e) / (1.0 + high.e));
  if (p.intergranular()) err = std::max(err, Norm(high.delta - low.delta) / p.R);
  return err / p.tolerance;
}

}  // namespace

StepResult Integrate(const Parameters& p, const State& start, const Sym& dEps) {
  // Bogacki-Shampine coefficients: stages at 0, 1/2, 3/4 and 1 (the last
  // stage is the first of the next substep).
  static constexpr double kB3[] = {2.0 / 9.0, 1.0 / 3.0, 4.0 / 9.0};
  static constexpr double kB2[] = {7.0 / 24.0, 1.0 / 4.0, 1.0 / 3.0, 1.0 / 8.0};
  StepResult result;
  result.end = start;
  if (Norm(dEps) == 0.0) {
    result.ok = true;
    return result;
  }
  State y = start;
  Rates k[4];
  if (!RatesAt(p, y, dEps, &k[0])) return result;
  double t = 0.0;
  double h = 1.0;
  while (t < 1.0) {
    if (result.substeps + result.rejected >= kMaxSubsteps || h < kMinFraction) return result;
    h = std::min(h, 1.0 - t);
    bool inside = RatesAt(p, Advance(y, 0.5 * h, k[0]), dEps, &k[1]);
    if (inside) {
      State y2 = y;
      y2.T += 0.75 * h * k[1].T;
      y2.e += 0.75 * h * k[1].e;
      y2.delta += 0.75 * h * k[1].delta;
      inside = RatesAt(p, y2, dEps, &k[2]);
    }
    State high;
    if (inside) {
      high = Combine(y, h, k, kB3, 3);
      inside = RatesAt(p, high, dEps, &k[3]);
    }
    if (!inside) {  // a stage left the domain: try a smaller substep
      h *= 0.25;
      ++result.rejected;
      continue;
    }
    const State low = Combine(y, h, k, kB2, 4);
    const double err = ScaledError(p, high, low);
    // Step-size factor of an order-2 error estimate, with a safety factor.
    const double factor = err > 0.0 ? 0.9 * std::cbrt(1.0 / err) : 4.0;
    if (err > 1.0) {
      h *= std::max(0.1, factor);
      ++result.rejected;
      continue;
    }
    y = high;
    t += h;
    k[0] = k[3];
    ++result.substeps;
    h *= std::min(4.0, std::max(0.2, factor));
  }
  result.end = y;
  result.ok = true;
  return result;
}

}  // namespace hypoplastic
