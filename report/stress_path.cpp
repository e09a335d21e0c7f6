#include "report/stress_path.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

#include "report/html_report.hpp"
#include "report/report_sections.hpp"
#include "report/svg_plot.hpp"
#include "report/test_heading.hpp"

namespace soilcal::report {
namespace {

constexpr const char* kCriticalStateColour = "#b03a2e";
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// |σ′1 − σ′3|, the von Mises q, or −(σ′xx − σ′yy)/2 (half the deviator,
// as a TOML job's deviator_stress may be stored).
bool IsDeviator(int code) {
  const int k = std::abs(code);
  return k == 5 || k == 9 || k == 29;
}

// The factor that turns the curve's value into q, compression positive.
double DeviatorFactor(int code) {
  if (std::abs(code) == 29) return code < 0 ? 2.0 : -2.0;
  return code > 0 ? 1.0 : -1.0;
}
bool IsPorePressure(int code) { return std::abs(code) == 7; }

// A curve of the test that holds `wanted` in one column and a strain in the
// other: which curve, and which column holds what.
struct Found {
  std::size_t curve = 0;
  bool wantedFirst = false;  // column 1 holds the wanted quantity
  int wantedCode = 0;
  int strainCode = 0;
};

template <typename Is>
std::optional<Found> FindCurve(const TestSummary& t, Is wanted) {
  const QuantityUnits none;
  for (std::size_t c = 0; c < t.curves.size(); ++c) {
    const CurveSummary& curve = t.curves[c];
    const bool first = wanted(curve.column1);
    const int other = first ? curve.column2 : curve.column1;
    if (!first && !wanted(curve.column2)) continue;
    if (NameQuantity(other, t.type, none).kind != QuantityKind::kStrain) continue;
    return Found{c, first, first ? curve.column1 : curve.column2, other};
  }
  return std::nullopt;
}

struct Columns {
  const std::vector<double>* strain;
  const std::vector<double>* value;
};
Columns Split(const CurveSeries& s, const Found& f) {
  return f.wantedFirst ? Columns{&s.y, &s.x} : Columns{&s.x, &s.y};
}

// The deviator as a magnitude, the excess pore pressure Δu = −pw.
std::vector<double> Signed(const std::vector<double>& v, double sign) {
  std::vector<double> out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out[i] = sign * v[i];
  return out;
}

// y at each of `at` by linear interpolation in (x, y), x strictly monotonic;
// NaN outside its range.
std::vector<double> Interpolate(const std::vector<double>& x, const std::vector<double>& y,
                                const std::vector<double>& at) {
  std::vector<double> out(at.size(), kNaN);
  const std::size_t n = std::min(x.size(), y.size());
  if (n < 2) return out;
  const bool up = x[1] > x[0];
  for (std::size_t i = 1; i < n; ++i) {
    if (up ? !(x[i] > x[i - 1]) : !(x[i] < x[i - 1])) return out;
  }
  for (std::size_t k = 0; k < at.size(); ++k) {
    for (std::size_t i = 1; i < n; ++i) {
      const double lo = std::min(x[i - 1], x[i]), hi = std::max(x[i - 1], x[i]);
      if (at[k] < lo || at[k] > hi) continue;
      const double w = (at[k] - x[i - 1]) / (x[i] - x[i - 1]);
      out[k] = y[i - 1] + w * (y[i] - y[i - 1]);
      break;
    }
  }
  return out;
}

}  // namespace

double CriticalStateM(double phiDegrees) {
  const double s = std::sin(phiDegrees * std::numbers::pi / 180.0);
  return 6.0 * s / (3.0 - s);
}

StressPath PathFromDeviatorAndPorePressure(const std::vector<double>& q,
                                           const std::vector<double>& du, double p0, double q0) {
  StressPath path;
  const std::size_t n = std::min(q.size(), du.size());
  for (std::size_t i = 0; i < n; ++i) {
    path.q.push_back(q[i]);
    path.p.push_back(p0 + (q[i] - q0) / 3.0 - du[i]);
  }
  return path;
}

std::string StressPathFigure(const Summary& s, const TestSummary& t,
                             const std::vector<CurvePoints>& points, const QuantityUnits& units) {
  if (!t.undrained || t.type.kind != input::TestKind::kTriaxialCompression || !t.initialStress) {
    return "";
  }
  const auto dev = FindCurve(t, IsDeviator);
  const auto pore = FindCurve(t, IsPorePressure);
  if (!dev || !pore || dev->strainCode != pore->strainCode) return "";
  if (dev->curve >= points.size() || pore->curve >= points.size()) return "";
  const std::array<double, 6>& s0 = *t.initialStress;
  const int axial = std::clamp(t.type.axial, 0, 2);
  const double a0 = -s0[static_cast<std::size_t>(axial)];
  const double r0 = -s0[static_cast<std::size_t>(axial == 0 ? 1 : 0)];
  const double p0 = -(s0[0] + s0[1] + s0[2]) / 3.0;
  const double q0 = std::abs(a0 - r0);
  const double qSign = DeviatorFactor(dev->wantedCode);
  const double duSign = pore->wantedCode < 0 ? 1.0 : -1.0;  // Δu = −pw

  // Measured: Δu where the deviator was read (the same rows, or interpolated).
  // Simulated: both curves come from the same recorded points.
  auto path = [&](const CurveSeries& qs, const CurveSeries& us, bool measured) {
    const Columns qc = Split(qs, *dev), uc = Split(us, *pore);
    const std::vector<double> q = Signed(*qc.value, qSign);
    std::vector<double> du = Signed(*uc.value, duSign);
    if (*qc.strain != *uc.strain) {
      if (!measured) return StressPath{};
      du = Interpolate(*uc.strain, du, *qc.strain);
    }
    return PathFromDeviatorAndPorePressure(q, du, p0, q0);
  };
  const CurvePoints& dq = points[dev->curve];
  const CurvePoints& du = points[pore->curve];
  Plot plot;
  plot.title = TestHeading(t, units);
  plot.subtitle = (t.material.empty() ? "" : t.material + " — ") + std::string("effective stress path");
  const std::string unit = units.stress.empty() ? "" : " [" + units.stress + "]";
  plot.xLabel = "mean effective stress p′" + unit;
  plot.yLabel = "deviator stress q" + unit;
  auto add = [&](const StressPath& p, PlotSeries style) {
    style.x = p.p;
    style.y = p.q;
    plot.series.push_back(std::move(style));
  };
  add(path(dq.start, du.start, false),
      {"start values", {}, {}, SeriesStyle::kDashedLine, kStartColour, "start"});
  add(path(dq.best, du.best, false),
      {"calibrated", {}, {}, SeriesStyle::kLine, kBestColour, "calibrated"});
  add(path(dq.measured, du.measured, true),
      {"measured", {}, {}, SeriesStyle::kMarkers, kMeasuredColour, "measured"});
  std::string caption =
      "Effective stress path at constant cell pressure: p′ = p′0 + (q − q0)/3 − Δu from the "
      "deviator and the excess pore pressure.";
  if (s.criticalState) {
    double pMax = 0.0;
    for (const PlotSeries& series : plot.series) {
      for (double v : series.x) {
        if (std::isfinite(v)) pMax = std::max(pMax, v);
      }
    }
    const CriticalStateLine& csl = *s.criticalState;
    const double m = csl.m;
    const std::string how = csl.calibrated ? " (calibrated)." : " (the test files' value).";
    if (pMax > 0.0) {
      plot.series.push_back({"critical state M = " + ShortNumber(m, 3),
                             {0.0, 1.05 * pMax},
                             {0.0, 1.05 * pMax * m},
                             SeriesStyle::kDashedLine,
                             kCriticalStateColour,
                             "critical-state"});
      caption += csl.phiDegrees
                     ? " Critical-state line q = M p′ with M = 6 sin φ/(3 − sin φ) = " +
                           ShortNumber(m, 3) + " of φ = " + ShortNumber(*csl.phiDegrees, 3) + "°" + how
                     : " Critical-state line q = M p′ with the model's M = " + ShortNumber(m, 3) + how;
    }
  }
  return "<figure>" + RenderPlot(plot) + "<figcaption>" + XmlEscape(caption) +
         "</figcaption></figure>\n";
}

}  // namespace soilcal::report
