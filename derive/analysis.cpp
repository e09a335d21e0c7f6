// Each test read once: shear tests by their peak, stiffness and dilatancy,
// compression tests by their slopes and preconsolidation stress.
#include "derive/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace soilcal::derive {
namespace {

Series Magnitudes(Series s) {
  for (double& v : s.x) v = std::abs(v);
  for (double& v : s.y) v = std::abs(v);
  return s;
}

// The strain at which a curve first comes within 0.1 % of its peak: failure
// of a curve that approaches its strength with a flat top, where the
// strain of the largest value would be anywhere along the plateau.
double StrainAtFailure(const Series& s, double peak) {
  return FirstCrossing(s.x, s.y, 0.999 * peak).value_or(0.0);
}

// The initial tangent of a curve from the origin: a line through the origin
// over the points below 5 % of the peak. Where fewer than two readings lie
// there, the curve already bends at its first readings and a secant to them
// is far below the tangent: the tangent at the origin of the hyperbola of
// Kondner (1963), ε/q = 1/Ei + ε/qa through the points below half the peak,
// is taken instead (not below the secant to the first point).
std::optional<double> InitialTangent(const Series& s, double peak) {
  double sxy = 0.0, sxx = 0.0;
  int low = 0;
  std::optional<double> firstSecant;
  std::vector<double> x, y;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!(s.x[i] > 0.0) || !(s.y[i] > 0.0)) continue;
    if (!firstSecant) firstSecant = s.y[i] / s.x[i];
    if (s.y[i] >= 0.5 * peak) break;
    x.push_back(s.x[i]);
    y.push_back(s.x[i] / s.y[i]);
    if (s.y[i] <= 0.05 * peak) {
      sxy += s.x[i] * s.y[i];
      sxx += s.x[i] * s.x[i];
      ++low;
    }
  }
  if (low >= 2 && sxy > 0.0) return sxy / sxx;
  if (x.size() >= 3) {
    if (const auto line = FitLine(x, y); line && line->intercept > 0.0) {
      return std::max(1.0 / line->intercept, firstSecant.value_or(0.0));
    }
  }
  if (low == 1 && sxy > 0.0) return sxy / sxx;
  return firstSecant;
}

// q against ε1: the deviator curve, else twice a curve of t = (σ′1 − σ′3)/2.
std::optional<Series> DeviatorCurve(const MeasuredTest& t) {
  if (auto q = FindSeries(t, "axial_strain", "deviator_stress")) return q;
  for (const char* half : {"max_shear_stress", "half_deviator_stress"}) {
    if (auto h = FindSeries(t, "axial_strain", half)) {
      for (double& v : h->y) v *= 2.0;
      return h;
    }
  }
  return std::nullopt;
}

// Young's modulus of unloading: the slope of q against ε1 on the longest
// branch along which the axial strain falls.
std::optional<double> UnloadingModulus(const Series& qEps) {
  std::optional<Branch> best;
  for (const Branch& b : MonotoneBranches(qEps.x)) {
    if (!b.loading && b.size() >= 3 && (!best || b.size() > best->size())) best = b;
  }
  if (!best) return std::nullopt;
  std::vector<double> x(qEps.x.begin() + static_cast<long>(best->first),
                        qEps.x.begin() + static_cast<long>(best->last) + 1);
  std::vector<double> y(qEps.y.begin() + static_cast<long>(best->first),
                        qEps.y.begin() + static_cast<long>(best->last) + 1);
  const auto line = FitLine(x, y);
  if (!line || !(line->slope > 0.0)) return std::nullopt;
  return line->slope;
}

// The loading part up to the end of the first loading branch of ε1.
Series FirstLoading(const Series& s) {
  const std::vector<Branch> b = MonotoneBranches(s.x);
  if (b.empty() || !b.front().loading) return s;
  const std::size_t n = b.front().last + 1;
  return Series{{s.x.begin(), s.x.begin() + static_cast<long>(n)},
                {s.y.begin(), s.y.begin() + static_cast<long>(n)}};
}

void AnalyseDrained(const MeasuredTest& t, Analysis& out) {
  const auto found = DeviatorCurve(t);
  if (!found) {
    out.skipped.push_back(t.name + ": no deviator curve against the axial strain");
    return;
  }
  DrainedShear d;
  d.name = t.name;
  d.sigma3 = t.cellPressure;
  d.extension = t.kind == TestKind::kTriaxialExtension;
  const Series all = Magnitudes(*found);
  const Series q = FirstLoading(all);
  const auto peak = PeakOf(q);
  if (!peak) {
    out.skipped.push_back(t.name + ": the deviator never rises above 0");
    return;
  }
  d.peak = *peak;
  d.E50 = SecantAtHalfPeak(q, peak->q);
  if (d.E50) d.plateau = PerfectlyPlasticPlateau(q, *d.E50, peak->q);
  d.hyperbola = FitHyperbola(q, peak->q);
  d.Eur = UnloadingModulus(all);
  if (auto ev = FindSeries(t, "axial_strain", "volumetric_strain")) {
    Series v = *ev;
    if (d.extension) v.x = Magnitudes(v).x;
    d.dilatancy = DilatancyAngle(FirstLoading(v));
    d.nu = PoissonFromInitialSlope(FirstLoading(v), q, peak->q);
  }
  out.drained.push_back(d);
}

void AnalyseUndrained(const MeasuredTest& t, Analysis& out) {
  UndrainedShear u;
  u.name = t.name;
  u.kind = t.kind;
  if (t.kind == TestKind::kDirectSimpleShear) {
    const auto tau = FindSeries(t, "shear_strain", "shear_stress");
    if (!tau) {
      out.skipped.push_back(t.name + ": no shear stress curve against the shear strain");
      return;
    }
    const Series s = Magnitudes(*tau);
    const auto peak = PeakOf(s);
    if (!peak) return;
    u.sigma3 = t.initialStress;
    u.strength = peak->q;
    u.strainAtFailure = StrainAtFailure(s, peak->q);
    u.Gu = InitialTangent(s, peak->q);
    out.undrained.push_back(u);
    return;
  }
  const auto found = DeviatorCurve(t);
  if (!found) {
    out.skipped.push_back(t.name + ": no deviator curve against the axial strain");
    return;
  }
  const Series q = FirstLoading(Magnitudes(*found));
  const auto peak = PeakOf(q);
  if (!peak) return;
  u.sigma3 = t.cellPressure;
  u.strength = UndrainedStrength(peak->q);
  // γ = ε1 − ε3 = 1.5 ε1 at constant volume.
  u.strainAtFailure = 1.5 * StrainAtFailure(q, peak->q);
  u.Eu = InitialTangent(q, peak->q);
  if (auto path = FindSeries(t, "mean_effective_stress", "deviator_stress")) {
    u.etaMax = FailureStressRatio(*path);
  }
  if (auto du = FindSeries(t, "axial_strain", "excess_pore_pressure")) {
    const Series d = *du;
    for (std::size_t i = 1; i < d.size(); ++i) {
      const double at = std::abs(peak->strain);
      if ((std::abs(d.x[i - 1]) - at) * (std::abs(d.x[i]) - at) <= 0.0 && d.x[i] != d.x[i - 1]) {
        u.porePressure = d.y[i - 1] + (d.y[i] - d.y[i - 1]) * (at - std::abs(d.x[i - 1])) /
                                          (std::abs(d.x[i]) - std::abs(d.x[i - 1]));
        break;
      }
    }
  }
  out.undrained.push_back(u);
}

// The creep stages of a compression test: its strain against time cut
// where the stress against time changes (one stage when the test gives no
// stress against time), each stage read by SecondaryCompression.
void AnalyseCreep(const MeasuredTest& t, Analysis& out) {
  auto strain = FindSeries(t, "time", t.kind == TestKind::kOedometer ? "axial_strain"
                                                                     : "volumetric_strain");
  if (!strain && t.kind == TestKind::kOedometer) strain = FindSeries(t, "time", "volumetric_strain");
  if (!strain || strain->size() < 4) return;
  const auto stress = FindSeries(
      t, "time", t.kind == TestKind::kOedometer ? "axial_stress" : "mean_effective_stress");
  auto stressAt = [&](std::size_t i) {
    if (!stress) return 0.0;
    // The reading of the stress curve nearest in time.
    std::size_t best = 0;
    for (std::size_t k = 1; k < stress->size(); ++k) {
      if (std::abs(stress->x[k] - strain->x[i]) < std::abs(stress->x[best] - strain->x[i])) best = k;
    }
    return stress->y[best];
  };
  std::size_t first = 0;
  for (std::size_t i = 1; i <= strain->size(); ++i) {
    const bool end = i == strain->size() ||
                     std::abs(stressAt(i) - stressAt(first)) > 0.005 * std::abs(stressAt(first));
    if (!end) continue;
    Series stage{{strain->x.begin() + static_cast<long>(first), strain->x.begin() + static_cast<long>(i)},
                 {strain->y.begin() + static_cast<long>(first), strain->y.begin() + static_cast<long>(i)}};
    if (const auto rate = SecondaryCompression(stage)) {
      out.creep.push_back({t.name, stressAt(first), *rate});
    }
    first = i;
  }
}

void AnalyseCompression(const MeasuredTest& t, Analysis& out) {
  AnalyseCreep(t, out);
  std::optional<Series> curve;
  if (t.kind == TestKind::kOedometer) {
    curve = FindSeries(t, "axial_stress", "axial_strain");
    if (!curve) curve = FindSeries(t, "axial_stress", "volumetric_strain");
  } else {
    curve = FindSeries(t, "mean_effective_stress", "volumetric_strain");
  }
  if (!curve) {
    out.skipped.push_back(t.name + ": no curve of strain against the effective stress");
    return;
  }
  CompressionRecord r;
  r.name = t.name;
  r.kind = t.kind;
  r.initialStress = t.initialStress;
  r.curve = *curve;
  const auto slopes = CompressionSlopes(r.curve);
  if (!slopes) {
    out.skipped.push_back(t.name + ": no loading branch of three or more points");
    return;
  }
  r.slopes = *slopes;
  std::vector<double> minusStrain;
  for (double e : r.curve.y) minusStrain.push_back(-e);
  if (slopes->kink) {
    r.casagrande = CasagrandePreconsolidation(r.curve.x, minusStrain);
    r.becker = BeckerPreconsolidation(r.curve.x, r.curve.y);
  }
  out.compression.push_back(r);
}

}  // namespace

std::string Number(double v) {
  if (v == 0.0 || !std::isfinite(v)) return v == 0.0 ? "0" : "?";
  const int exponent = static_cast<int>(std::floor(std::log10(std::abs(v))));
  const int decimals = std::max(0, 2 - exponent);
  const double scale = std::pow(10.0, exponent - 2);
  const double rounded = std::round(v / scale) * scale;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
  return buffer;
}

Analysis Analyse(std::span<const MeasuredTest> tests) {
  Analysis out;
  for (const MeasuredTest& t : tests) {
    if (IsTriaxial(t) && t.drained) {
      AnalyseDrained(t, out);
    } else if (IsTriaxial(t) || t.kind == TestKind::kDirectSimpleShear) {
      AnalyseUndrained(t, out);
    } else if (t.kind == TestKind::kOedometer || t.kind == TestKind::kIsotropicCompression) {
      AnalyseCompression(t, out);
    } else {
      out.skipped.push_back(t.name + ": a test of no standard type; no rule reads it");
    }
  }
  std::vector<Circle> circles;
  for (const DrainedShear& d : out.drained) {
    circles.push_back(d.extension ? Circle{d.sigma3 - d.peak.q, d.sigma3}
                                  : Circle{d.sigma3, d.sigma3 + d.peak.q});
  }
  out.strength = MohrCoulombLine(circles);
  std::vector<Circle> plateaus;
  for (const DrainedShear& d : out.drained) {
    const double q = d.plateau.value_or(d.peak.q);
    plateaus.push_back(d.extension ? Circle{d.sigma3 - q, d.sigma3} : Circle{d.sigma3, d.sigma3 + q});
  }
  out.plateauStrength = MohrCoulombLine(plateaus);
  return out;
}

}  // namespace soilcal::derive
