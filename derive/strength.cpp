// Strength rules: friction from a stress ratio, the line through the Mohr
// circles, Jaky's K0, the critical stress ratio, Hoek-Brown's regression.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "derive/rules.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::derive {
namespace {

constexpr double kDeg = 180.0 / std::numbers::pi;

}  // namespace

double FrictionFromStressRatio(double eta, bool extension) {
  const double s = extension ? 3.0 * eta / (6.0 - eta) : 3.0 * eta / (6.0 + eta);
  return std::asin(std::clamp(s, 0.0, 1.0)) * kDeg;
}

double CriticalStressRatio(double phiDegrees) {
  const double s = std::sin(phiDegrees / kDeg);
  return 6.0 * s / (3.0 - s);
}

double JakyK0(double phiDegrees) { return 1.0 - std::sin(phiDegrees / kDeg); }

double StudentT95(int dof) {
  static constexpr double kTable[] = {6.314, 2.920, 2.353, 2.132, 2.015, 1.943, 1.895, 1.860,
                                      1.833, 1.812, 1.796, 1.782, 1.771, 1.761, 1.753, 1.746,
                                      1.740, 1.734, 1.729, 1.725, 1.721, 1.717, 1.714, 1.711,
                                      1.708, 1.706, 1.703, 1.701, 1.699, 1.697};
  if (dof < 1) return std::numeric_limits<double>::infinity();
  return dof <= 30 ? kTable[dof - 1] : 1.645;
}

std::optional<Strength> MohrCoulombLine(const std::vector<Circle>& circles) {
  if (circles.empty()) return std::nullopt;
  std::vector<double> s, t;
  double lo = circles.front().sigma3, hi = lo;
  for (const Circle& c : circles) {
    s.push_back(0.5 * (c.sigma1 + c.sigma3));
    t.push_back(0.5 * (c.sigma1 - c.sigma3));
    lo = std::min(lo, c.sigma3);
    hi = std::max(hi, c.sigma3);
  }
  const auto n = static_cast<double>(s.size());
  // A line needs confining stresses that differ by more than their scatter.
  if (hi > 1.05 * lo + 1e-12) {
    if (const auto line = FitLine(s, t); line && line->slope > 0.0 && line->slope < 1.0 &&
                                         line->intercept >= 0.0) {
      const double phi = std::asin(line->slope);
      Strength out{phi * kDeg, line->intercept / std::cos(phi), true};
      if (s.size() < 3) return out;
      // Standard error of the intercept: σ̂² (1/n + s̄²/Sss), σ̂² = SSR/(n − 2).
      double mean = 0.0, sss = 0.0, ssr = 0.0;
      for (double x : s) mean += x / n;
      for (std::size_t i = 0; i < s.size(); ++i) {
        sss += (s[i] - mean) * (s[i] - mean);
        ssr += (t[i] - line->At(s[i])) * (t[i] - line->At(s[i]));
      }
      const double se = std::sqrt(ssr / (n - 2.0) * (1.0 / n + mean * mean / sss));
      out.tCritical = StudentT95(static_cast<int>(s.size()) - 2);
      out.tRatio = se > 0.0 ? line->intercept / se : std::numeric_limits<double>::infinity();
      if (out.tRatio >= out.tCritical) return out;
      // Not significant: the line through the origin.
      double st = 0.0, ss = 0.0;
      for (std::size_t i = 0; i < s.size(); ++i) {
        st += s[i] * t[i];
        ss += s[i] * s[i];
      }
      out.phiThroughOrigin = std::asin(std::clamp(st / ss, 0.0, 0.999)) * kDeg;
      out.interceptSignificant = false;
      return out;
    }
  }
  // Cohesionless: the mean of sin φ = t/s over the circles.
  double sum = 0.0;
  for (std::size_t i = 0; i < s.size(); ++i) sum += s[i] > 0.0 ? t[i] / s[i] : 0.0;
  return Strength{std::asin(std::clamp(sum / n, 0.0, 0.999)) * kDeg, 0.0, false};
}

std::optional<HoekBrown> HoekBrownRegression(const std::vector<Circle>& peaks) {
  std::vector<double> x, y;
  for (const Circle& c : peaks) {
    x.push_back(c.sigma3);
    y.push_back((c.sigma1 - c.sigma3) * (c.sigma1 - c.sigma3));
  }
  const auto line = FitLine(x, y);
  if (!line || !(line->intercept > 0.0) || !(line->slope > 0.0)) return std::nullopt;
  HoekBrown hb;
  hb.sigmaCi = std::sqrt(line->intercept);
  hb.mb = line->slope / hb.sigmaCi;
  hb.s = 1.0;
  return hb;
}

double UndrainedStrength(double qPeak) { return 0.5 * qPeak; }

double SkemptonA(double porePressureAtFailure, double qAtFailure) {
  return qAtFailure != 0.0 ? porePressureAtFailure / qAtFailure : 0.0;
}

std::optional<double> LargestStressRatio(const Series& qOverP) {
  std::optional<double> best;
  for (std::size_t i = 0; i < qOverP.size(); ++i) {
    if (!(qOverP.x[i] > 0.0)) continue;
    const double eta = std::abs(qOverP.y[i]) / qOverP.x[i];
    if (!best || eta > *best) best = eta;
  }
  return best;
}

std::optional<double> FailureStressRatio(const Series& qOverP) {
  const auto largest = LargestStressRatio(qOverP);
  if (!largest) return std::nullopt;
  double sum = 0.0;
  int n = 0;
  for (std::size_t i = 0; i < qOverP.size(); ++i) {
    if (!(qOverP.x[i] > 0.0)) continue;
    const double eta = std::abs(qOverP.y[i]) / qOverP.x[i];
    if (eta >= 0.97 * *largest) {
      sum += eta;
      ++n;
    }
  }
  return sum / n;
}

double RelativeDensity(double e, double emin, double emax) {
  return std::clamp((emax - e) / (emax - emin), 0.0, 1.0);
}

double BlowCountFromDensity(double relativeDensity) {
  return 46.0 * relativeDensity * relativeDensity;
}

UbcSand UbcSandFromBlowCount(double n160) {
  // The same numbers as the model's own completion from (N1)60
  // (models/ubc3d, a test holds the two together), so that a start value
  // read here is what the model would take for the same blow count.
  const double n = std::max(n160, 1e-3);
  UbcSand u;
  u.KGe = 21.7 * 20.0 * std::pow(n, 0.333);
  u.KBe = 0.7 * u.KGe;
  u.KGp = u.KGe * n * n * 0.003 + 100.0;
  u.phiPeakOverCv = n / 10.0 + std::max(0.0, (n - 15.0) / 5.0);
  u.Rf = std::min(0.99, 1.1 * std::pow(n, -0.15));
  u.fDens = models::ubc3d::DefaultDensification(n);
  return u;
}

}  // namespace soilcal::derive
