// Start values of Hoek-Brown (from triaxial peaks of rock) and NGI-ADP (from
// undrained compression, extension and simple shear tests).
#include <algorithm>
#include <cmath>

#include "derive/builder.hpp"

namespace soilcal::derive {

void DeriveHoekBrown(const Analysis& a, Builder& b) {
  std::vector<Circle> peaks;
  std::vector<double> E;
  for (const DrainedShear& d : a.drained) {
    if (d.extension) continue;
    peaks.push_back({d.sigma3, d.sigma3 + d.peak.q});
    if (d.E50) E.push_back(*d.E50);
  }
  const auto hb = HoekBrownRegression(peaks);
  if (!hb) {
    b.Skip("Hoek-Brown: the regression of (σ1 − σ3)² against σ3 needs two or more peaks at "
           "different σ3 on a rising line");
    b.Default("sigma_ci", 500.0 * b.options().pref,
              "no triaxial peaks: σci = 50 MPa, a medium-strong rock");
    b.Default("mi", 10.0, "no triaxial peaks: mi = 10");
  } else {
    b.Free("sigma_ci", hb->sigmaCi, hb->sigmaCi, hb->sigmaCi,
           "regression of (σ1 − σ3)² against σ3 over " + std::to_string(peaks.size()) +
               " peaks: s σci² = " + Number(hb->sigmaCi * hb->sigmaCi) + ", s = 1 (intact)");
    b.Derived("mi", hb->mb, "mi = mb of the intact specimen");
    b.Free("mb", hb->mb, hb->mb, hb->mb,
           "slope of the same regression over σci: mb = " + Number(hb->mb));
  }
  b.Default("s", 1.0, "intact laboratory specimen: s = 1");
  b.Default("a", 0.5, "intact rock: a = 1/2");
  b.Default("GSI", 100.0, "intact laboratory specimen: GSI = 100");
  b.Default("D", 0.0, "undisturbed specimen: D = 0");
  b.Default("nu", 0.25, "no volumetric curve read for rock: ν = 0.25");
  if (!E.empty()) {
    double sum = 0.0;
    for (double e : E) sum += e;
    const double mean = sum / static_cast<double>(E.size());
    const auto [lo, hi] = std::minmax_element(E.begin(), E.end());
    b.Free("G", mean / 2.5, *lo / 2.5, *hi / 2.5,
           "E50 at half the peak, mean of " + std::to_string(E.size()) +
               " test(s): G = E/(2(1 + ν)) with ν = 0.25");
  }
}

void DeriveNgiAdp(const Analysis& a, Builder& b) {
  const UndrainedShear* comp = nullptr;
  const UndrainedShear* ext = nullptr;
  const UndrainedShear* dss = nullptr;
  for (const UndrainedShear& u : a.undrained) {
    if (u.kind == TestKind::kTriaxialCompression && comp == nullptr) comp = &u;
    if (u.kind == TestKind::kTriaxialExtension && ext == nullptr) ext = &u;
    if (u.kind == TestKind::kDirectSimpleShear && dss == nullptr) dss = &u;
  }
  const UndrainedShear* ref = comp != nullptr ? comp : (dss != nullptr ? dss : ext);
  if (ref == nullptr) {
    b.Skip("NGI-ADP: no undrained compression, extension or simple shear test");
    b.Default("suA", 50.0 * b.options().pref / 100.0, "no undrained test: suA = 0.5 pref");
    return;
  }
  const double suA = ref->strength;
  b.Free("suA", suA, suA, suA,
         "su = qf/2 of " + ref->name + ": " + b.Stress(suA) +
             (comp == nullptr ? " (no compression test: taken from another test)" : ""));
  if (ext != nullptr) {
    b.Free("suP", ext->strength, ext->strength, ext->strength,
           "su = |qf|/2 of the extension test " + ext->name);
    b.Derived("gammaf_E", 100.0 * ext->strainAtFailure,
              "shear strain at failure 1.5 ε1 of " + ext->name + ", in %");
  }
  if (dss != nullptr) {
    b.Free("suDSS", dss->strength, dss->strength, dss->strength,
           "largest τ of the simple shear test " + dss->name);
    b.Derived("gammaf_DSS", 100.0 * dss->strainAtFailure,
              "shear strain where τ reaches its peak in " + dss->name + ", in %");
  }
  if (comp != nullptr) {
    b.Derived("gammaf_C", 100.0 * comp->strainAtFailure,
              "shear strain at failure 1.5 ε1 of " + comp->name + ", in %");
  }
  std::optional<double> gu;
  if (comp != nullptr && comp->Eu) gu = *comp->Eu / 3.0;
  if (!gu && dss != nullptr && dss->Gu) gu = dss->Gu;
  if (gu) {
    b.Free("Gur_over_suA", *gu / suA, *gu / suA, *gu / suA,
           "initial tangent G (Eu/3 of a triaxial test, τ/γ of simple shear) over suA");
  } else {
    b.Default("Gur_over_suA", 500.0, "no initial stiffness read: Gur/suA = 500, a typical clay");
  }
  b.Default("nu", 0.2, "drained Poisson's ratio: 0.2");
  b.Default("nu_u", 0.495, "undrained Poisson's ratio: 0.495");
  b.Default("suC_over_suA", 1.0, "triaxial taken for plane-strain compression: 1");
}

}  // namespace soilcal::derive
