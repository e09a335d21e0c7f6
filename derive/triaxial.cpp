// Rules on the curves of drained triaxial tests: peak and critical state,
// hyperbola, secant modulus, dilatancy, Poisson's ratio, stress dependency.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "derive/rules.hpp"

namespace soilcal::derive {
namespace {

constexpr double kDeg = 180.0 / std::numbers::pi;

// The bracket (σ′3 + c cot φ)/(pref + c cot φ) of a stress-dependent stiffness.
double Bracket(double sigma3, double c, double phiDegrees, double pref) {
  const double s = std::sin(phiDegrees / kDeg);
  const double ccot = s > 1e-6 ? c * std::cos(phiDegrees / kDeg) / s : 0.0;
  return (sigma3 + ccot) / (pref + ccot);
}

}  // namespace

std::optional<Peak> PeakOf(const Series& qEps) {
  if (qEps.size() < 2) return std::nullopt;
  Peak peak;
  for (std::size_t i = 0; i < qEps.size(); ++i) {
    if (qEps.y[i] > peak.q) peak = Peak{qEps.y[i], qEps.x[i], std::nullopt};
  }
  if (!(peak.q > 0.0)) return std::nullopt;
  // Levelled off: over the last fifth of the strain range q moves by < 2 %.
  const double end = qEps.x.back();
  const double from = qEps.x.front() + 0.8 * (end - qEps.x.front());
  double lo = qEps.y.back(), hi = lo;
  std::size_t n = 0;
  for (std::size_t i = 0; i < qEps.size(); ++i) {
    if (qEps.x[i] < from) continue;
    lo = std::min(lo, qEps.y[i]);
    hi = std::max(hi, qEps.y[i]);
    ++n;
  }
  if (n >= 3 && hi - lo < 0.02 * qEps.y.back()) peak.critical = qEps.y.back();
  return peak;
}

std::optional<Hyperbola> FitHyperbola(const Series& qEps, double qPeak) {
  std::vector<double> x, y;
  for (std::size_t i = 0; i < qEps.size(); ++i) {
    const double e = qEps.x[i], q = qEps.y[i];
    if (!(e > 0.0) || !(q > 0.0)) continue;
    if (q >= 0.95 * qPeak) break;  // the part before failure only
    x.push_back(e);
    y.push_back(e / q);
  }
  const auto line = FitLine(x, y);
  if (!line || !(line->intercept > 0.0) || !(line->slope > 0.0)) return std::nullopt;
  return Hyperbola{1.0 / line->intercept, 1.0 / line->slope};
}

std::optional<double> SecantAtHalfPeak(const Series& qEps, double qf) {
  const auto strain = FirstCrossing(qEps.x, qEps.y, 0.5 * qf);
  if (!strain || !(*strain > 0.0)) return std::nullopt;
  return 0.5 * qf / *strain;
}

std::optional<double> PerfectlyPlasticPlateau(const Series& qEps, double E, double qPeak) {
  if (!(E > 0.0) || !(qPeak > 0.0)) return std::nullopt;
  double plateau = qPeak;
  for (int k = 0; k < 50; ++k) {
    const double yield = plateau / E;
    double sum = 0.0;
    int n = 0;
    for (std::size_t i = 0; i < qEps.size(); ++i) {
      if (qEps.x[i] >= yield) {
        sum += qEps.y[i];
        ++n;
      }
    }
    if (n == 0) return std::nullopt;
    const double next = sum / n;
    const bool settled = std::abs(next - plateau) <= 1e-9 * qPeak;
    plateau = next;
    if (settled) break;
  }
  return plateau;
}

std::optional<Dilatancy> DilatancyAngle(const Series& evEps) {
  if (evEps.size() < 3) return std::nullopt;
  const std::vector<double> slopes = LocalSlopes(evEps.x, evEps.y, 2);
  double d = 0.0;
  for (double s : slopes) {
    if (std::isfinite(s)) d = std::min(d, s);
  }
  const double sinPsi = -d / (2.0 - d);
  return Dilatancy{std::asin(std::clamp(sinPsi, 0.0, 1.0)) * kDeg, d};
}

std::optional<double> PoissonFromInitialSlope(const Series& evEps, const Series& qEps,
                                              double qPeak) {
  // The strain at which q reaches half its peak bounds the elastic part; the
  // slope is that of a line through the origin (the start of shearing).
  const auto limit = FirstCrossing(qEps.x, qEps.y, 0.5 * qPeak);
  if (!limit) return std::nullopt;
  double sxy = 0.0, sxx = 0.0;
  for (std::size_t i = 0; i < evEps.size(); ++i) {
    if (evEps.x[i] <= 0.0 || evEps.x[i] > *limit * (1.0 + 1e-12)) continue;
    sxy += evEps.x[i] * evEps.y[i];
    sxx += evEps.x[i] * evEps.x[i];
  }
  if (!(sxx > 0.0)) return std::nullopt;
  const double nu = 0.5 * (1.0 - sxy / sxx);
  if (!(nu >= 0.0 && nu < 0.5)) return std::nullopt;
  return nu;
}

std::optional<PowerLaw> FitStiffnessPower(const std::vector<ModulusAt>& moduli, double c,
                                          double phiDegrees, double pref) {
  std::vector<double> x, y;
  for (const ModulusAt& m : moduli) {
    const double b = Bracket(m.sigma3, c, phiDegrees, pref);
    if (!(b > 0.0) || !(m.E > 0.0)) continue;
    x.push_back(std::log(b));
    y.push_back(std::log(m.E));
  }
  const auto line = FitLine(x, y);
  if (!line) return std::nullopt;
  return PowerLaw{line->slope, std::exp(line->intercept)};
}

double ModulusAtPref(const ModulusAt& modulus, double m, double c, double phiDegrees,
                     double pref) {
  return modulus.E / std::pow(Bracket(modulus.sigma3, c, phiDegrees, pref), m);
}

}  // namespace soilcal::derive
