// Finding a test's curves by what they measure.
#include "derive/measured.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace soilcal::derive {
namespace {

// The names under which a quantity of a test may be given. Deviator and
// principal-stress difference agree in compression (q ≥ 0); the axial strain
// is the major principal strain of a compression test and the vertical
// strain of an oedometer.
std::vector<std::string_view> Aliases(std::string_view name, TestKind kind) {
  const bool compression = kind != TestKind::kTriaxialExtension;
  if (name == "deviator_stress" && compression) {
    return {"deviator_stress", "principal_stress_difference", "deviator_invariant"};
  }
  if (name == "axial_strain") {
    if (compression) return {"axial_strain", "vertical_strain", "principal_strain_1", "strain_yy"};
    return {"axial_strain", "vertical_strain", "strain_yy"};
  }
  if (name == "axial_stress") {
    return {"axial_stress", "vertical_stress", "stress_yy"};
  }
  if (name == "mean_effective_stress") return {"mean_effective_stress"};
  if (name == "shear_stress") return {"shear_stress", "shear_stress_xy"};
  if (name == "shear_strain") return {"shear_strain", "shear_strain_xy"};
  return {name};
}

bool Matches(std::string_view have, std::string_view want, TestKind kind) {
  const auto names = Aliases(want, kind);
  return std::find(names.begin(), names.end(), have) != names.end();
}

// y of a series at abscissa `at` by linear interpolation (x ascending), or NaN.
double At(const Series& s, double at) {
  for (std::size_t i = 1; i < s.size(); ++i) {
    const double x0 = s.x[i - 1], x1 = s.x[i];
    if ((at - x0) * (at - x1) <= 0.0 && x1 != x0) {
      return s.y[i - 1] + (s.y[i] - s.y[i - 1]) * (at - x0) / (x1 - x0);
    }
  }
  return std::nan("");
}

}  // namespace

bool IsTriaxial(const MeasuredTest& test) {
  return test.kind == TestKind::kTriaxialCompression || test.kind == TestKind::kTriaxialExtension;
}

std::optional<Series> FindSeries(const MeasuredTest& test, std::string_view x,
                                 std::string_view y) {
  for (const MeasuredCurve& c : test.curves) {
    if (Matches(c.x, x, test.kind) && Matches(c.y, y, test.kind)) return c.points;
    if (Matches(c.x, y, test.kind) && Matches(c.y, x, test.kind)) {
      return Series{c.points.y, c.points.x};
    }
  }
  // Two curves over one abscissa: y(t) against x(t) at the points of x.
  for (const MeasuredCurve& a : test.curves) {
    if (!Matches(a.y, x, test.kind)) continue;
    for (const MeasuredCurve& b : test.curves) {
      if (&a == &b || b.x != a.x || !Matches(b.y, y, test.kind)) continue;
      Series out;
      for (std::size_t i = 0; i < a.points.size(); ++i) {
        const double v = At(b.points, a.points.x[i]);
        if (std::isnan(v)) continue;
        out.x.push_back(a.points.y[i]);
        out.y.push_back(v);
      }
      if (out.size() >= 2) return out;
    }
  }
  return std::nullopt;
}

}  // namespace soilcal::derive
