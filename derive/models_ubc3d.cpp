// Start values of the UBC3D sand model: the state of the sand ((N1)60, else
// the relative density of a void ratio between emin and emax) through the
// UBCSAND correlations, the constant-volume friction angle from the end of
// drained tests that reached the critical state.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "derive/builder.hpp"

namespace soilcal::derive {
namespace {

constexpr double kDeg = 180.0 / std::numbers::pi;

struct BlowCount {
  double n160 = 0.0;
  std::string note;
};

// (N1)60 as given, else from the relative density; nullopt without either.
std::optional<BlowCount> BlowCountOf(const SandState& s) {
  if (s.n160 && *s.n160 > 0.0) return BlowCount{*s.n160, "(N1)60 = " + Number(*s.n160) + " as given"};
  if (s.voidRatio && s.emin && s.emax && *s.emax > *s.emin) {
    const double dr = RelativeDensity(*s.voidRatio, *s.emin, *s.emax);
    const double n = BlowCountFromDensity(dr);
    return BlowCount{n, "(N1)60 = 46 Dr² = " + Number(n) + " with Dr = (emax − e)/(emax − emin) = " +
                            Number(dr) + " (e = " + Number(*s.voidRatio) + ", emin = " +
                            Number(*s.emin) + ", emax = " + Number(*s.emax) + ")"};
  }
  return std::nullopt;
}

// φcv from the stress ratio at the end of drained tests that levelled off.
std::optional<double> ConstantVolumeFriction(const Analysis& a) {
  double sum = 0.0;
  int n = 0;
  for (const DrainedShear& d : a.drained) {
    if (!d.peak.critical || d.extension) continue;
    sum += std::asin(*d.peak.critical / (2.0 * d.sigma3 + *d.peak.critical)) * kDeg;
    ++n;
  }
  if (n == 0) return std::nullopt;
  return sum / n;
}

}  // namespace

void DeriveUbc3d(const Analysis& a, Builder& b) {
  const std::optional<BlowCount> count = BlowCountOf(b.options().sand);
  double phiCv = 33.0;
  if (const auto cv = ConstantVolumeFriction(a)) {
    phiCv = *cv;
    b.Free("phi_cv", phiCv, phiCv, phiCv,
           "stress ratio at the end of the drained tests that levelled off (critical state), "
           "c′ = 0: φcv = " + Number(phiCv) + "°");
  } else {
    b.Default("phi_cv", phiCv, "no drained test reached the critical state: φcv = 33°, a "
                               "quartz sand; fixed");
  }
  if (!count) {
    b.Skip("UBC3D: neither (N1)60 nor a void ratio with emin and emax given; the moduli stay "
           "the program's own defaults from (N1)60");
    b.Default("N160", 10.0, "no (N1)60 and no relative density: 10, a loose sand; fixed");
  } else {
    b.Derived("N160", count->n160, count->note);
  }
  const double n = count ? count->n160 : 10.0;
  const UbcSand u = UbcSandFromBlowCount(n);
  const std::string source = count ? "Beaty & Byrne (2011) from (N1)60 = " + Number(n)
                                   : "Beaty & Byrne (2011) from the default (N1)60 = 10";
  if (count) {
    b.Free("KGe", u.KGe, u.KGe, u.KGe, source + ": K_G^e = 21.7 · 20 · (N1)60^0.333");
    b.Free("KGp", u.KGp, u.KGp, u.KGp, source + ": K_G^p = K_G^e (N1)60² 0.003 + 100");
  } else {
    b.Default("KGe", u.KGe, source + ": K_G^e = 21.7 · 20 · (N1)60^0.333");
    b.Default("KGp", u.KGp, source + ": K_G^p = K_G^e (N1)60² 0.003 + 100");
  }
  // Values that follow from (N1)60: read off the tests only when (N1)60 was.
  auto follow = [&](std::string_view name, double value, std::string note) {
    if (count) {
      b.Derived(name, value, std::move(note));
    } else {
      b.Default(name, value, std::move(note));
    }
  };
  follow("KBe", u.KBe, "K_B^e = 0.7 K_G^e (Beaty & Byrne 2011)");
  follow("phi_p", phiCv + u.phiPeakOverCv,
         "φp = φcv + (N1)60/10 (+ ((N1)60 − 15)/5 above 15 blows) = " +
             Number(phiCv + u.phiPeakOverCv) + "° (Beaty & Byrne 2011)");
  follow("Rf", u.Rf, "Rf = 1.1 (N1)60^(−0.15), at most 0.99 (Beaty & Byrne 2011)");
  b.Default("ne", 0.5, "exponent of the elastic shear modulus: 0.5 (Beaty & Byrne 2011)");
  b.Default("me", 0.5, "exponent of the elastic bulk modulus: 0.5 (Beaty & Byrne 2011)");
  b.Default("np", 0.4, "exponent of the plastic shear modulus: 0.4 (Beaty & Byrne 2011)");
  b.Default("pref", b.options().pref, "reference pressure 100 kPa");
  b.Default("c", 0.0, "sand: c′ = 0");
  follow("fdens", u.fDens,
         "f_dens = exp(0.92 − 0.097 (N1)60) = " + Number(u.fDens) +
             ", the model's fit to the field liquefaction curve of Idriss & Boulanger (2008); "
             "calibrate it on cyclic tests");
  b.Default("fEpost", 1.0, "post-liquefaction stiffness factor: 1 until cyclic tests calibrate it");
  if (const auto e = b.options().sand.voidRatio) {
    b.Derived("n0", *e / (1.0 + *e), "porosity of the given void ratio: n = e/(1 + e)");
  } else {
    b.Default("n0", 0.4, "porosity: no void ratio given; it does not enter a drained test");
  }
}

}  // namespace soilcal::derive
