// Start values of the clay models (soft soil, soft-soil creep, modified
// Cam-Clay) from oedometer and isotropic compression tests, with the
// strength of triaxial tests where there are any.
#include <algorithm>
#include <cmath>

#include "derive/builder.hpp"

namespace soilcal::derive {
namespace {

// Poisson's ratio of unloading the clay models take by default.
constexpr double kNuUr = 0.15;

struct Slopes {
  std::vector<double> lambda, kappa;
  bool kappaUnloading = false;
  bool oedometerKappa = false;      // an oedometer's reloading slope, doubled
  bool oedometerUnloading = false;  // an oedometer's unloading branch against ln p′
};

// λ* and κ* of every compression test. An isotropic test gives κ* as its
// slope against ln p′. In an oedometer the lateral stress lags behind on
// unloading, so σ′v changes faster than p′: its unloading branch is read
// against ln p′ with the lateral stress of elastic unloading from K0nc
// (`k0nc`, νur 0.15); a reloading branch alone takes κ* ≈ 2 × the slope
// against ln σ′v (κ* ≈ 2 Cs/(ln 10 (1 + e0)), Brinkgreve & Vermeer's
// soft-soil documentation), which reads κ* 12 % low where the unloading
// branch is known.
Slopes CollectSlopes(const Analysis& a, double k0nc) {
  Slopes s;
  for (const CompressionRecord& c : a.compression) {
    s.lambda.push_back(c.slopes.lambdaStar);
    if (!c.slopes.kappaStar) continue;
    const bool oedometer = c.kind == TestKind::kOedometer;
    std::optional<double> kappa;
    if (oedometer && c.slopes.kappaFromUnloading) kappa = OedometerKappaStar(c.curve, k0nc, kNuUr);
    if (kappa) {
      s.oedometerUnloading = true;
    } else {
      kappa = *c.slopes.kappaStar * (oedometer ? 2.0 : 1.0);
      s.oedometerKappa = s.oedometerKappa || oedometer;
    }
    s.kappa.push_back(*kappa);
    s.kappaUnloading = s.kappaUnloading || c.slopes.kappaFromUnloading;
  }
  return s;
}

double Mean(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// OCR of the first compression test with a preconsolidation stress above
// its start: σ′p by Becker's work method (Casagrande's beside it).
void AddOverconsolidation(const Analysis& a, Builder& b) {
  for (const CompressionRecord& c : a.compression) {
    if (!c.becker || !(c.initialStress > 0.0)) continue;
    const double ocr = *c.becker / c.initialStress;
    if (ocr <= 1.0) continue;
    std::string note = "σ′p = " + b.Stress(*c.becker) + " by Becker's work method";
    if (c.casagrande) note += " (Casagrande: " + b.Stress(*c.casagrande) + ")";
    note += " over σ′ = " + b.Stress(c.initialStress) + " at the start of " + c.name +
            "; POP = " + b.Stress(*c.becker - c.initialStress);
    // The two constructions span the range of σ′p the curve allows.
    const double other = c.casagrande.value_or(*c.becker) / c.initialStress;
    b.Free("OCR", ocr, std::max(1.0, std::min(ocr, other)), std::max(ocr, other), note);
    return;
  }
  b.Default("OCR", 1.0, "no kink of a compression curve above its start: normally consolidated");
}

}  // namespace

void DeriveSoftSoil(const Analysis& a, Builder& b, int model) {
  // φ′ as the strength rules below will read it, for the K0nc of the
  // oedometer's unloading (a scratch list: the job lists κ* before φ′).
  Builder scratch("", b.options());
  const Slopes s = CollectSlopes(a, JakyK0(AddStrength(a, scratch, 25.0).phi));
  double lambda = 0.1;
  if (s.lambda.empty()) {
    b.Default("lambda_star", lambda, "no oedometer or isotropic test: λ* = 0.1, a soft clay");
  } else {
    lambda = Mean(s.lambda);
    const auto [lo, hi] = std::minmax_element(s.lambda.begin(), s.lambda.end());
    b.Free("lambda_star", lambda, *lo, *hi,
           "slope of strain against ln σ′ on the virgin loading branch, " +
               std::to_string(s.lambda.size()) + " test(s); Cc/(1 + e0) = ln 10 λ* = " +
               Number(std::log(10.0) * lambda));
  }
  if (s.kappa.empty()) {
    b.Default("kappa_star", lambda / 5.0,
              "no unloading and no reloading branch: κ* = λ*/5, the usual ratio; fixed");
  } else {
    const double kappa = Mean(s.kappa);
    const auto [lo, hi] = std::minmax_element(s.kappa.begin(), s.kappa.end());
    b.Free("kappa_star", kappa, *lo, *hi,
           std::string("slope of strain against ln σ′ on the ") +
               (s.kappaUnloading ? "unloading" : "reloading") + " branch" +
               (s.oedometerUnloading
                    ? ", p′ of the oedometer from K0nc and elastic unloading (νur 0.15)"
                    : "") +
               (s.oedometerKappa ? ", twice the oedometer's slope against ln σ′v" : "") +
               "; Cr/(1 + e0) = ln 10 κ* = " + Number(std::log(10.0) * kappa));
  }
  const FrictionStart f = AddStrength(a, b, 25.0);
  const double M = CriticalStressRatio(f.phi);
  if (model == 5) {
    if (f.fromData) {
      b.Free("M", M, CriticalStressRatio(std::max(f.phi - 5.0, 1.0)),
             CriticalStressRatio(f.phi + 5.0),
             "M = 6 sin φ′/(3 − sin φ′) with φ′ = " + Number(f.phi) + "°");
    } else {
      b.Default("M", M, "M = 6 sin φ′/(3 − sin φ′) of the default φ′");
    }
  } else {
    b.Default("M", M, "derived from K0nc before every test; this value passes the check only");
    b.Default("psi", 0.0, "clay: no dilatancy");
  }
  b.Derived("K0nc", JakyK0(f.phi), "Jaky (1944): K0nc = 1 − sin φ′ with φ′ = " + Number(f.phi) + "°");
  b.Default("nu_ur", 0.15, "Poisson's ratio of unloading: 0.15, the usual value for clay");
  b.Default("pref", b.options().pref, "reference pressure 100 kPa");
  AddOverconsolidation(a, b);
  if (model == 8 && !a.creep.empty()) {
    // The stages at the largest stress held: normally consolidated creep.
    double top = 0.0;
    for (const CreepStage& c : a.creep) top = std::max(top, c.stress);
    std::vector<double> mu;
    for (const CreepStage& c : a.creep) {
      if (c.stress >= 0.999 * top) mu.push_back(c.rate.muStar);
    }
    const auto [lo, hi] = std::minmax_element(mu.begin(), mu.end());
    const CreepStage& last = a.creep.back();
    b.Free("mu_star", Mean(mu), *lo, *hi,
           "slope of strain against ln t late in " + std::to_string(mu.size()) +
               " creep stage(s) at σ′ = " + b.Stress(top) + " (" + last.name + ": t = " +
               Number(last.rate.from) + "–" + Number(last.rate.to) + "); Cα/(1 + e0) = ln 10 μ* = " +
               Number(std::log(10.0) * Mean(mu)));
    b.Default("tau", 1.0, "reference time of the creep rate: one time unit of the job");
  } else if (model == 8) {
    b.Default("mu_star", 0.04 * lambda,
              "no creep stage: μ* = 0.04 λ*, Cα/Cc ≈ 0.04 of Mesri & Godlewski (1977); fixed");
    b.Default("tau", 1.0, "reference time of the creep rate: one time unit of the job");
  }
  b.Default("n0", 0.5, "porosity: no test here gives it (e0 = 1)");
}

}  // namespace soilcal::derive
