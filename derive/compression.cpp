// Rules on compression curves (oedometer, isotropic compression): the
// slopes against ln σ′, the indices of an e–log σ′ curve and the
// preconsolidation stress by Casagrande's and Becker's constructions.
#include <algorithm>
#include <cmath>

#include "derive/rules.hpp"

namespace soilcal::derive {
namespace {

// A steeper second line than first by this factor counts as a kink.
constexpr double kKinkRatio = 1.5;

// The points of branch `b` of a curve, as (x, y) with x taken through `f`.
template <typename F>
void BranchPoints(const Series& curve, const Branch& b, F f, std::vector<double>& x,
                  std::vector<double>& y) {
  x.clear();
  y.clear();
  for (std::size_t i = b.first; i <= b.last; ++i) {
    if (!(curve.x[i] > 0.0)) continue;
    x.push_back(f(curve.x[i]));
    y.push_back(curve.y[i]);
  }
}

// The longest branch of the given direction with at least `min` points.
std::optional<Branch> Longest(const std::vector<Branch>& branches, bool loading, std::size_t min) {
  std::optional<Branch> best;
  for (const Branch& b : branches) {
    if (b.loading != loading || b.size() < min) continue;
    if (!best || b.size() > best->size()) best = b;
  }
  return best;
}

// The loading part of an e–σ′ record as (log10 σ′, e), σ′ ascending.
bool LoadingLog10(const std::vector<double>& sigma, const std::vector<double>& e,
                  std::vector<double>& x, std::vector<double>& y) {
  const Series s{sigma, e};
  const auto b = Longest(MonotoneBranches(sigma), true, 5);
  if (!b) return false;
  BranchPoints(s, *b, [](double v) { return std::log10(v); }, x, y);
  return x.size() >= 5;
}

}  // namespace

std::optional<Compression> CompressionSlopes(const Series& curve) {
  const std::vector<Branch> branches = MonotoneBranches(curve.x);
  const auto loading = Longest(branches, true, 3);
  if (!loading) return std::nullopt;
  std::vector<double> x, y;
  auto ln = [](double v) { return std::log(v); };
  BranchPoints(curve, *loading, ln, x, y);
  const auto single = FitLine(x, y);
  if (!single || !(single->slope > 0.0)) return std::nullopt;
  Compression out;
  out.lambdaStar = single->slope;
  if (const auto two = FitTwoLines(x, y, 3);
      two && two->second.slope > kKinkRatio * two->first.slope && two->first.slope > 0.0) {
    out.lambdaStar = two->second.slope;
    out.kappaStar = two->first.slope;
    out.kink = std::exp(two->kink);
  }
  // An oedometer is often unloaded in one or two increments: two readings
  // already give the swelling line's slope.
  if (const auto unloading = Longest(branches, false, 2)) {
    BranchPoints(curve, *unloading, ln, x, y);
    if (const auto line = FitLine(x, y); line && line->slope > 0.0) {
      out.kappaStar = line->slope;
      out.kappaFromUnloading = true;
    }
  }
  return out;
}

std::optional<double> OedometerKappaStar(const Series& curve, double k0nc, double nuUr) {
  const auto unloading = Longest(MonotoneBranches(curve.x), false, 2);
  if (!unloading || !(k0nc > 0.0) || !(nuUr >= 0.0 && nuUr < 0.5)) return std::nullopt;
  const double top = curve.x[unloading->first];
  const double rate = nuUr / (1.0 - nuUr);
  std::vector<double> x, y;
  for (std::size_t i = unloading->first; i <= unloading->last; ++i) {
    const double v = curve.x[i];
    const double h = k0nc * top + rate * (v - top);
    if (!(v > 0.0) || !(h > 0.1 * v)) continue;
    x.push_back(std::log((v + 2.0 * h) / 3.0));
    y.push_back(curve.y[i]);
  }
  if (x.size() < 2) return std::nullopt;
  const auto line = FitLine(x, y);
  if (!line || !(line->slope > 0.0)) return std::nullopt;
  return line->slope;
}

std::optional<Indices> CompressionIndices(const std::vector<double>& sigma,
                                          const std::vector<double>& e) {
  std::vector<double> x, y;
  if (!LoadingLog10(sigma, e, x, y)) return std::nullopt;
  const auto two = FitTwoLines(x, y, 3);
  if (!two || !(two->second.slope < two->first.slope)) return std::nullopt;
  return Indices{-two->second.slope, -two->first.slope, std::pow(10.0, two->kink)};
}

std::optional<double> CasagrandePreconsolidation(const std::vector<double>& sigma,
                                                 const std::vector<double>& e) {
  std::vector<double> x, y;
  if (!LoadingLog10(sigma, e, x, y)) return std::nullopt;
  const auto two = FitTwoLines(x, y, 3);
  if (!two) return std::nullopt;
  const Line virgin = two->second;
  // Point of largest curvature |y''|/(1 + y'²)^1.5 from three-point
  // differences over at least a twentieth of the record's log σ′ range on
  // each side: closely spaced noisy readings (an automated oedometer logs
  // hundreds) would otherwise put the largest curvature at a scatter spike.
  const double h = (x.back() - x.front()) / 20.0;
  std::size_t p = 0;
  double best = -1.0, tangent = 0.0;
  std::size_t before = 0;
  for (std::size_t i = 1; i + 1 < x.size(); ++i) {
    while (before + 1 < i && x[i] - x[before + 1] >= h) ++before;
    std::size_t after = i + 1;
    while (after + 1 < x.size() && x[after] - x[i] < h) ++after;
    if (x[i] - x[before] < h || x[after] - x[i] < h) continue;  // too near an end
    const double s1 = (y[i] - y[before]) / (x[i] - x[before]);
    const double s2 = (y[after] - y[i]) / (x[after] - x[i]);
    const double slope = 0.5 * (s1 + s2);
    const double curvature =
        std::abs(2.0 * (s2 - s1) / (x[after] - x[before])) / std::pow(1.0 + slope * slope, 1.5);
    if (curvature > best) {
      best = curvature;
      p = i;
      tangent = slope;
    }
  }
  if (p == 0) return std::nullopt;
  // Bisector of the horizontal and the tangent through the point, met with
  // the virgin line.
  const double bisector = std::tan(0.5 * std::atan(tangent));
  if (bisector == virgin.slope) return std::nullopt;
  const double xc = (y[p] - bisector * x[p] - virgin.intercept) / (virgin.slope - bisector);
  return std::pow(10.0, xc);
}

std::optional<double> BeckerPreconsolidation(const std::vector<double>& sigma,
                                             const std::vector<double>& strain) {
  const auto b = Longest(MonotoneBranches(sigma), true, 5);
  if (!b) return std::nullopt;
  std::vector<double> s{sigma[b->first]}, w{0.0};
  for (std::size_t i = b->first + 1; i <= b->last; ++i) {
    // Trapezoidal work increment σ′ dε per unit volume.
    w.push_back(w.back() + 0.5 * (sigma[i] + sigma[i - 1]) * (strain[i] - strain[i - 1]));
    s.push_back(sigma[i]);
  }
  const auto two = FitTwoLines(s, w, 3);
  if (!two || !(two->second.slope > two->first.slope)) return std::nullopt;
  return two->kink;
}

std::optional<double> OedometerModulusAtPref(const Series& curve, double fromStress, double m,
                                             double pref) {
  const auto b = Longest(MonotoneBranches(curve.x), true, 3);
  if (!b) return std::nullopt;
  std::vector<double> strain, stress;
  for (std::size_t i = b->first; i <= b->last; ++i) {
    if (curve.x[i] < fromStress * (1.0 - 1e-9)) continue;
    stress.push_back(curve.x[i]);
    strain.push_back(curve.y[i]);
  }
  if (stress.size() < 3) return std::nullopt;
  const std::vector<double> tangents = LocalSlopes(strain, stress, 1);
  double sumLog = 0.0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < tangents.size(); ++i) {
    if (!(tangents[i] > 0.0) || !(stress[i] > 0.0)) continue;
    sumLog += std::log(tangents[i] * std::pow(pref / stress[i], m));
    ++n;
  }
  if (n == 0) return std::nullopt;
  return std::exp(sumLog / static_cast<double>(n));
}

std::optional<CreepRate> SecondaryCompression(const Series& strainOverTime) {
  std::vector<double> x, y;
  const double t0 = strainOverTime.size() > 0 ? strainOverTime.x.front() : 0.0;
  for (std::size_t i = 0; i < strainOverTime.size(); ++i) {
    const double t = strainOverTime.x[i] - t0;
    if (!(t > 0.0)) continue;
    x.push_back(std::log(t));
    y.push_back(strainOverTime.y[i]);
  }
  if (x.size() < 4) return std::nullopt;
  // The later half of the stage on a logarithmic time scale: primary
  // consolidation is over, the strain grows as μ* ln t.
  const double from = 0.5 * (x.front() + x.back());
  std::vector<double> lx, ly;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (x[i] >= from) {
      lx.push_back(x[i]);
      ly.push_back(y[i]);
    }
  }
  const auto line = FitLine(lx, ly);
  if (!line || !(line->slope > 0.0)) return std::nullopt;
  return CreepRate{line->slope, std::exp(lx.front()), std::exp(lx.back())};
}

}  // namespace soilcal::derive
