// Start values of the sand models (Mohr-Coulomb, Hardening Soil and its
// small-strain variant) from drained triaxial and oedometer tests.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "derive/builder.hpp"

namespace soilcal::derive {
namespace {

constexpr double kDeg = 180.0 / std::numbers::pi;

std::string Range(const std::vector<double>& v, const Builder& b) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return *lo == *hi ? b.Stress(*lo) : Number(*lo) + "–" + b.Stress(*hi);
}

double Mean(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x;
  return v.empty() ? 0.0 : s / static_cast<double>(v.size());
}

// φ of each circle with c = 0, for the spread of φ′: of the peaks, or of the
// perfectly plastic plateaus.
std::vector<double> CircleAngles(const Analysis& a, bool plateaus) {
  std::vector<double> phi;
  for (const DrainedShear& d : a.drained) {
    const double q = plateaus ? d.plateau.value_or(d.peak.q) : d.peak.q;
    const double s3 = d.extension ? d.sigma3 - q : d.sigma3;
    phi.push_back(std::asin(q / (2.0 * s3 + q)) * kDeg);
  }
  return phi;
}

double PoissonOrDefault(const Analysis& a, Builder& b, std::string_view name, double fallback) {
  std::vector<double> nu;
  for (const DrainedShear& d : a.drained) {
    if (d.nu) nu.push_back(*d.nu);
  }
  if (nu.empty()) {
    b.Default(name, fallback,
              "no volumetric curve: " + Number(fallback) + ", the usual value for sand");
    return fallback;
  }
  const double v = Mean(nu);
  b.Derived(name, v,
            "initial slope dεv/dε1 = 1 − 2ν below half the peak, mean of " +
                std::to_string(nu.size()) + " test(s)");
  return v;
}

}  // namespace

FrictionStart AddStrength(const Analysis& a, Builder& b, double defaultPhi,
                          bool perfectlyPlastic) {
  FrictionStart f;
  const std::optional<Strength>& strength = perfectlyPlastic ? a.plateauStrength : a.strength;
  if (strength) {
    const std::vector<double> angles = CircleAngles(a, perfectlyPlastic);
    const std::string circles =
        std::to_string(a.drained.size()) +
        (perfectlyPlastic ? " plateau Mohr circles (elastic, perfectly plastic fits: mean q past "
                            "yield at E50)"
                          : " peak Mohr circles");
    std::vector<double> s3;
    for (const DrainedShear& d : a.drained) s3.push_back(d.sigma3);
    f = {strength->phi, strength->c, true};
    const auto [lo, hi] = std::minmax_element(angles.begin(), angles.end());
    if (strength->line && perfectlyPlastic && !strength->interceptSignificant) {
      f = {strength->phiThroughOrigin, 0.0, true};
      b.Free("phi", f.phi, *lo, *hi,
             "line through the origin and the tops of " + circles + " (σ′3 = " + Range(s3, b) +
                 "): φ′ = " + Number(f.phi) + "°");
      b.Default("c", 0.0,
                "the intercept of the line through the circles' tops is within its scatter "
                "(a/SE(a) = " + Number(strength->tRatio) + " < t95 = " +
                    Number(strength->tCritical) + "): c′ = 0, a cohesionless sand");
    } else if (strength->line) {
      b.Free("phi", f.phi, *lo, *hi,
             "line through the tops of " + circles + " (σ′3 = " + Range(s3, b) +
                 "): φ′ = " + Number(f.phi) + "°, c′ = " + b.Stress(f.c));
      b.Free("c", f.c, 0.0, std::max(2.0 * f.c, 0.1 * b.options().pref),
             "intercept of the same line: c′ = a/cos φ′ = " + b.Stress(f.c));
    } else {
      b.Free("phi", f.phi, *lo, *hi,
             (perfectlyPlastic ? "plateau stress ratio of " : "peak stress ratio of ") +
                 std::to_string(a.drained.size()) + " test(s) at σ′3 = " + Range(s3, b) +
                 ", c′ = 0: φ′ = " + Number(f.phi) + "°");
      b.Default("c", 0.0, "one confining stress cannot separate c′ from φ′: c′ = 0 (sand)");
    }
    return f;
  }
  std::vector<double> phis;
  for (const UndrainedShear& u : a.undrained) {
    if (u.etaMax && u.kind != TestKind::kDirectSimpleShear) {
      phis.push_back(FrictionFromStressRatio(*u.etaMax, u.kind == TestKind::kTriaxialExtension));
    }
  }
  if (!phis.empty()) {
    f = {Mean(phis), 0.0, true};
    const auto [lo, hi] = std::minmax_element(phis.begin(), phis.end());
    // The failure stress ratio is the Mohr-Coulomb criterion's own (c′ = 0):
    // paths that agree need only a margin for their scatter.
    b.Free("phi", f.phi, *lo, *hi,
           "stress ratio q/p′ at failure (mean within 3 % of the largest) of the effective stress paths of " +
               std::to_string(phis.size()) + " undrained test(s): φ′ = " + Number(f.phi) + "°",
           phis.size() >= 2 ? Margin::kIdentity : Margin::kRule);
    b.Default("c", 0.0, "c′ = 0 with φ′ from the stress ratio");
    return f;
  }
  f.phi = defaultPhi;
  b.Default("phi", defaultPhi,
            "no drained peak and no effective stress path: " + Number(defaultPhi) +
                "°, a typical value; fixed");
  b.Default("c", 0.0, "no strength test: c′ = 0");
  return f;
}

void AddDilatancy(const Analysis& a, Builder& b, double phi) {
  std::vector<double> psi;
  double rate = 0.0;
  for (const DrainedShear& d : a.drained) {
    if (d.dilatancy) {
      psi.push_back(d.dilatancy->psi);
      rate = std::min(rate, d.dilatancy->rate);
    }
  }
  if (psi.empty()) {
    b.Default("psi", 0.0, "no volumetric curve: ψ = 0; deviator curves alone cannot tell it");
    return;
  }
  const double v = std::min(Mean(psi), phi);
  const auto [lo, hi] = std::minmax_element(psi.begin(), psi.end());
  b.Free("psi", v, std::max(0.0, *lo), std::min(*hi, phi),
         "largest dilatancy rate dεv/dε1 = " + Number(rate) +
             ", sin ψ = −d/(2 − d), mean of " + std::to_string(psi.size()) + " test(s)");
  b.Default("slot_22", 1.0, "largest porosity of the dilatancy cut-off: 1, no cut-off");
}

void DeriveMohrCoulomb(const Analysis& a, Builder& b) {
  const double nu = PoissonOrDefault(a, b, "nu", 0.3);
  std::vector<double> E;
  for (const DrainedShear& d : a.drained) {
    if (d.E50) E.push_back(*d.E50);
  }
  // Undrained tests: the initial tangent Eu = 2G(1 + νu) with νu → 1/2.
  std::vector<double> Gu;
  for (const UndrainedShear& u : a.undrained) {
    if (u.Eu && u.kind != TestKind::kDirectSimpleShear) Gu.push_back(*u.Eu / 3.0);
    if (u.Gu && u.kind == TestKind::kDirectSimpleShear) Gu.push_back(*u.Gu);
  }
  if (E.empty() && !Gu.empty()) {
    const auto [lo, hi] = std::minmax_element(Gu.begin(), Gu.end());
    // Linear elastic to failure: the tangent is 3G exactly, so tests that
    // agree need only a margin for their scatter.
    b.Free("G", Mean(Gu), *lo, *hi,
           "initial tangent of " + std::to_string(Gu.size()) +
               " undrained test(s): G = Eu/3 (νu = 1/2), or τ/γ of simple shear, mean " +
               b.Stress(Mean(Gu)),
           Gu.size() >= 2 ? Margin::kIdentity : Margin::kRule);
  } else if (E.empty()) {
    b.Default("G", 10000.0 * b.options().pref / 100.0,
              "no drained deviator curve: G = 100 pref, a stiff-clay order of magnitude");
  } else {
    const auto [lo, hi] = std::minmax_element(E.begin(), E.end());
    const double g = Mean(E) / (2.0 * (1.0 + nu));
    b.Free("G", g, *lo / (2.0 * (1.0 + nu)), *hi / (2.0 * (1.0 + nu)),
           "E50 at half the peak, mean of " + std::to_string(E.size()) + " test(s) (" +
               Range(E, b) + "): G = E/(2(1 + ν)) = " + b.Stress(g));
  }
  const FrictionStart f = AddStrength(a, b, 30.0, true);
  AddDilatancy(a, b, f.phi);
  b.Default("tension", 0.0, "no tension test: no tensile strength");
  b.Default("n0", 0.4, "porosity: no test here gives it; it does not enter a drained test");
}

void DeriveHardeningSoil(const Analysis& a, Builder& b, bool smallStrain) {
  const double pref = b.options().pref;
  const FrictionStart f = AddStrength(a, b, 30.0);
  // E50 per cell pressure, m by regression where two or more differ.
  std::vector<ModulusAt> e50;
  std::vector<double> s3;
  for (const DrainedShear& d : a.drained) {
    if (d.E50 && !d.extension) {
      e50.push_back({d.sigma3, *d.E50});
      s3.push_back(d.sigma3);
    }
  }
  double m = 0.5;
  bool mFromData = false;
  if (!s3.empty() && *std::max_element(s3.begin(), s3.end()) >
                         1.2 * *std::min_element(s3.begin(), s3.end())) {
    if (const auto law = FitStiffnessPower(e50, f.c, f.phi, pref)) {
      m = std::clamp(law->m, 0.0, 1.0);
      mFromData = true;
    }
  }
  if (mFromData) {
    b.Free("m", m, m - 0.1, m + 0.1,
           "slope of ln E50 against ln((σ′3 + c′ cot φ′)/(pref + c′ cot φ′)) over " +
               std::to_string(e50.size()) + " cell pressures");
  } else {
    b.Default("m", m, "one cell pressure: m = 0.5, the usual value for sand; fixed");
  }
  b.Default("pref", pref, "reference pressure 100 kPa");
  double e50ref = 0.0;
  if (!e50.empty()) {
    std::vector<double> refs;
    for (const ModulusAt& e : e50) refs.push_back(ModulusAtPref(e, m, f.c, f.phi, pref));
    std::vector<double> geo;
    for (double r : refs) geo.push_back(std::log(r));
    e50ref = std::exp(Mean(geo));
    const auto [lo, hi] = std::minmax_element(refs.begin(), refs.end());
    const DrainedShear& first = a.drained.front();
    b.Free("E50ref", e50ref, *lo, *hi,
           "E50 at σ′3 = " + b.Stress(first.sigma3) + " (" + first.name + "): " +
               b.Stress(first.E50.value_or(0.0)) + "; m = " + Number(m) + " from " +
               std::to_string(e50.size()) + " cell pressure(s); E50ref at pref, geometric mean");
  } else {
    e50ref = 200.0 * pref;
    b.Default("E50ref", e50ref, "no drained deviator curve: E50ref = 200 pref, a medium sand");
  }
  // Rf = qf/qa of the hyperbola per test.
  std::vector<double> rf;
  for (const DrainedShear& d : a.drained) {
    if (d.hyperbola) rf.push_back(std::min(1.0, d.peak.q / d.hyperbola->qa));
  }
  if (!rf.empty()) {
    const auto [lo, hi] = std::minmax_element(rf.begin(), rf.end());
    const std::string rule =
        "qf/qa of the hyperbola ε1/q = 1/Ei + ε1/qa below 95 % of the peak, mean of " +
        std::to_string(rf.size()) + " test(s)";
    if (f.fromData) {
      // With φ′ free the deviator curves fix the asymptote qa = qf/Rf
      // rather than qf and Rf each: the two correlate fully in a fit.
      b.Derived("Rf", Mean(rf), rule + "; φ′ is free and the curves fit only qa = qf/Rf");
    } else {
      b.Free("Rf", Mean(rf), *lo - 0.1, *hi + 0.1, rule);
    }
  } else {
    b.Default("Rf", 0.9, "no hyperbola could be fitted: Rf = 0.9, the usual value");
  }
  // Eoedref from the virgin branch of an oedometer test.
  std::vector<double> eoed;
  for (const CompressionRecord& c : a.compression) {
    if (c.kind != TestKind::kOedometer) continue;
    const double from = std::max(c.initialStress, c.becker.value_or(0.0));
    if (auto e = OedometerModulusAtPref(c.curve, from, m, pref)) eoed.push_back(*e);
  }
  if (!eoed.empty()) {
    const auto [lo, hi] = std::minmax_element(eoed.begin(), eoed.end());
    b.Free("Eoedref", Mean(eoed), *lo, *hi,
           "tangent dσ′v/dε of the oedometer loading branch scaled by (pref/σ′v)^m, " +
               std::to_string(eoed.size()) + " test(s)");
  } else {
    b.Default("Eoedref", e50ref, "no oedometer test: Eoedref = E50ref, the usual default");
  }
  b.Default("nu_ur", 0.2, "Poisson's ratio of unloading: 0.2, the usual value");
  std::vector<double> eur;
  for (const DrainedShear& d : a.drained) {
    if (d.Eur) eur.push_back(ModulusAtPref({d.sigma3, *d.Eur}, m, f.c, f.phi, pref));
  }
  if (!eur.empty()) {
    const auto [lo, hi] = std::minmax_element(eur.begin(), eur.end());
    b.Free("Eurref", Mean(eur), *lo, *hi,
           "slope of the unloading branch of q(ε1) scaled to pref, " + std::to_string(eur.size()) +
               " test(s)");
  } else {
    b.Default("Eurref", 3.0 * e50ref,
              "no unloading measured: Eurref = 3 E50ref, the usual default; fixed");
  }
  b.Derived("K0nc", JakyK0(f.phi), "Jaky (1944): K0nc = 1 − sin φ′ with φ′ = " + Number(f.phi) + "°");
  AddDilatancy(a, b, f.phi);
  b.Default("OCR", 1.0, "normally consolidated start");
  b.Default("n0", 0.4, "porosity: no test here gives it; it does not enter a drained test");
  if (smallStrain) {
    const double gur = (eur.empty() ? 3.0 * e50ref : Mean(eur)) / (2.0 * 1.2);
    b.Default("G0ref", 2.5 * gur,
              "no small-strain data: G0ref = 2.5 Gurref (Benz 2007 gives 2.5 to 10); fixed");
    b.Default("gamma07", 1.5e-4,
              "no small-strain data: γ0.7 = 1.5·10⁻⁴, a typical sand value (Benz 2007); fixed");
  }
}

}  // namespace soilcal::derive
