// The start-value rules against closed-form soil mechanics: each curve is
// built from known parameters and the rule must give them back.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "derive/rules.hpp"
#include "models/ubc3d/ubc3d.hpp"

namespace soilcal::derive {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

// q(ε1) of a Kondner hyperbola ε1/q = 1/Ei + ε1/qa, cut at qf = Rf qa (the
// Duncan-Chang failure), 2001 points to 10 % strain.
Series Hyperbolic(double Ei, double qa, double Rf) {
  Series s;
  for (int i = 0; i <= 2000; ++i) {
    const double e = 0.1 * i / 2000.0;
    s.x.push_back(e);
    s.y.push_back(std::min(e / (1.0 / Ei + e / qa), Rf * qa));
  }
  return s;
}

TEST(DeriveRules, AHyperbolaGivesBackItsInitialModulusAsymptoteFailureRatioAndE50) {
  const double Ei = 50000.0, qa = 500.0, Rf = 0.9;
  const Series q = Hyperbolic(Ei, qa, Rf);
  const auto peak = PeakOf(q);
  ASSERT_TRUE(peak);
  EXPECT_DOUBLE_EQ(peak->q, Rf * qa);
  ASSERT_TRUE(peak->critical) << "the curve is flat after failure";
  const auto h = FitHyperbola(q, peak->q);
  ASSERT_TRUE(h);
  // The points below 95 % of the peak lie exactly on the hyperbola.
  EXPECT_NEAR(h->Ei, Ei, 1e-6 * Ei);
  EXPECT_NEAR(h->qa, qa, 1e-6 * qa);
  EXPECT_NEAR(peak->q / h->qa, Rf, 1e-6);
  // E50 = qf/2 / ε50 with ε50 = (qf/2)/(Ei (1 − qf/(2 qa))): Ei (1 − Rf/2) =
  // 27500; the crossing is interpolated between points 5e-5 apart (0.1 %).
  const auto e50 = SecantAtHalfPeak(q, peak->q);
  ASSERT_TRUE(e50);
  EXPECT_NEAR(*e50, Ei * (1.0 - Rf / 2.0), 1e-3 * Ei);
}

TEST(DeriveRules, APeakWithSofteningHasNoCriticalStateUntilTheCurveLevelsOff) {
  Series q;
  for (int i = 0; i <= 100; ++i) {
    const double e = 0.001 * i;
    q.x.push_back(e);
    q.y.push_back(e < 0.02 ? 20000.0 * e : 400.0 - 2000.0 * (e - 0.02));  // falls to 240
  }
  const auto peak = PeakOf(q);
  ASSERT_TRUE(peak);
  EXPECT_DOUBLE_EQ(peak->q, 400.0);
  EXPECT_DOUBLE_EQ(peak->strain, 0.02);
  EXPECT_FALSE(peak->critical);
}

TEST(DeriveRules, TwoMohrCirclesOnAStraightEnvelopeGiveBackCohesionAndFriction) {
  // σ1 = σ3 Kp + 2 c √Kp with Kp = (1 + sin φ)/(1 − sin φ).
  struct Case {
    double phi, c;
  };
  for (const Case k : {Case{30.0, 10.0}, Case{38.0, 0.0}, Case{22.5, 35.0}}) {
    SCOPED_TRACE(k.phi);
    const double s = std::sin(k.phi * kDeg);
    const double Kp = (1.0 + s) / (1.0 - s);
    std::vector<Circle> circles;
    for (double s3 : {100.0, 300.0}) circles.push_back({s3, s3 * Kp + 2.0 * k.c * std::sqrt(Kp)});
    const auto line = MohrCoulombLine(circles);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->line);
    EXPECT_NEAR(line->phi, k.phi, 1e-9);
    EXPECT_NEAR(line->c, k.c, 1e-9);
  }
  // One circle: c′ = 0 and sin φ′ = (σ1 − σ3)/(σ1 + σ3), here sin φ = 1/2.
  const auto single = MohrCoulombLine({{100.0, 300.0}});
  ASSERT_TRUE(single);
  EXPECT_FALSE(single->line);
  EXPECT_NEAR(single->phi, 30.0, 1e-9);
  EXPECT_EQ(single->c, 0.0);
}

TEST(DeriveRules, AnInterceptWithinItsScatterGivesACohesionlessLineThroughTheOrigin) {
  // Circle tops t = a + s sin φ + e on s = 100, 200, 300 kPa with residuals
  // e = (d, −2d, d), orthogonal to 1 and s: the least-squares line is exactly
  // a + s sin φ, SSR = 6d², and SE(a) = d √(6 (1/3 + 200²/20000)) = d √14.
  const double a = 10.0, sinPhi = 0.55;
  auto circles = [&](double d) {
    std::vector<Circle> out;
    const double e[] = {d, -2.0 * d, d};
    for (int i = 0; i < 3; ++i) {
      const double s = 100.0 * (i + 1), t = a + s * sinPhi + e[i];
      out.push_back({s - t, s + t});
    }
    return out;
  };
  // d = 1: a/SE = 10/√14 = 2.67, below t95 with one degree of freedom (6.31).
  const auto loose = MohrCoulombLine(circles(1.0));
  ASSERT_TRUE(loose);
  EXPECT_NEAR(loose->tRatio, 10.0 / std::sqrt(14.0), 1e-9);
  EXPECT_NEAR(loose->tCritical, 6.314, 1e-12);
  EXPECT_FALSE(loose->interceptSignificant);
  // The line itself is kept beside φ through the origin, sin φ = Σ s t / Σ s².
  EXPECT_TRUE(loose->line);
  EXPECT_NEAR(loose->c, a / std::sqrt(1.0 - sinPhi * sinPhi), 1e-9);
  const double st = 100.0 * (a + 55.0 + 1.0) + 200.0 * (a + 110.0 - 2.0) + 300.0 * (a + 165.0 + 1.0);
  EXPECT_NEAR(loose->phiThroughOrigin, std::asin(st / 140000.0) / kDeg, 1e-9);
  // d = 0.2: a/SE = 13.4 passes; c′ = a/cos φ and φ of the line stay.
  const auto tight = MohrCoulombLine(circles(0.2));
  ASSERT_TRUE(tight);
  EXPECT_NEAR(tight->tRatio, 50.0 / std::sqrt(14.0), 1e-9);
  EXPECT_TRUE(tight->interceptSignificant);
  EXPECT_TRUE(tight->line);
  EXPECT_NEAR(tight->phi, std::asin(sinPhi) / kDeg, 1e-9);
  EXPECT_NEAR(tight->c, a / std::sqrt(1.0 - sinPhi * sinPhi), 1e-9);
  // Circles exactly on a line with c′ > 0 have no scatter: always significant.
  const double Kp = (1.0 + 0.5) / (1.0 - 0.5);
  std::vector<Circle> exact;
  for (double s3 : {50.0, 150.0, 300.0}) exact.push_back({s3, s3 * Kp + 2.0 * 5.0 * std::sqrt(Kp)});
  const auto kept = MohrCoulombLine(exact);
  ASSERT_TRUE(kept);
  EXPECT_TRUE(kept->line);
  EXPECT_TRUE(kept->interceptSignificant);
  EXPECT_NEAR(kept->c, 5.0, 1e-9);
  EXPECT_NEAR(kept->phi, 30.0, 1e-9);
  // The table's ends.
  EXPECT_NEAR(StudentT95(2), 2.920, 1e-12);
  EXPECT_NEAR(StudentT95(30), 1.697, 1e-12);
  EXPECT_NEAR(StudentT95(200), 1.645, 1e-12);
}

TEST(DeriveRules, ThePerfectlyPlasticPlateauIsTheMeanOfTheReadingsPastYield) {
  // A flat top: q = min(E ε, qf) gives back qf.
  Series flat;
  for (int i = 0; i <= 100; ++i) {
    flat.x.push_back(0.001 * i);
    flat.y.push_back(std::min(20000.0 * 0.001 * i, 300.0));
  }
  EXPECT_NEAR(*PerfectlyPlasticPlateau(flat, 20000.0, 300.0), 300.0, 1e-9);
  // Rigid (E large) and softening: readings 0, 400, 360, 320, 300, 300 at
  // ε = 0…5 %: yield at 400/E ≈ 0, so P is the mean of the five readings past
  // the origin, 336, and the yield strain stays below the first of them.
  const Series soft{{0.0, 0.01, 0.02, 0.03, 0.04, 0.05}, {0.0, 400.0, 360.0, 320.0, 300.0, 300.0}};
  EXPECT_NEAR(*PerfectlyPlasticPlateau(soft, 1e9, 400.0), 336.0, 1e-9);
  // Hardening to the end, q = 100 + 1000 ε on ε = 0.01…0.1 (after a jump
  // from the origin), with E = 20000: P = 100 + 1000 ε̄ over the readings
  // with ε ≥ P/E; the fixed point keeps all ten (P/E < 0.01), P = 155.
  Series hard{{0.0}, {0.0}};
  for (int i = 1; i <= 10; ++i) {
    hard.x.push_back(0.01 * i);
    hard.y.push_back(100.0 + 1000.0 * 0.01 * i);
  }
  EXPECT_NEAR(*PerfectlyPlasticPlateau(hard, 20000.0, 200.0), 155.0, 1e-9);
  EXPECT_FALSE(PerfectlyPlasticPlateau(hard, 0.0, 200.0));
}

TEST(DeriveRules, StressRatiosAndFrictionAnglesConvertBothWays) {
  for (double phi : {20.0, 30.0, 40.0}) {
    SCOPED_TRACE(phi);
    const double s = std::sin(phi * kDeg);
    EXPECT_NEAR(FrictionFromStressRatio(CriticalStressRatio(phi), false), phi, 1e-9);
    // Extension: η = 6 sin φ/(3 + sin φ).
    EXPECT_NEAR(FrictionFromStressRatio(6.0 * s / (3.0 + s), true), phi, 1e-9);
    EXPECT_NEAR(JakyK0(phi), 1.0 - s, 1e-15);
  }
  EXPECT_NEAR(CriticalStressRatio(30.0), 1.2, 1e-12);  // 6·0.5/2.5
}

// Drained Mohr-Coulomb triaxial test: εv = (1 − 2ν) ε1 while elastic, then
// εv falls at the plastic rate d = −2 sin ψ/(1 − sin ψ) of the flow rule.
Series Volumetric(double nu, double psi, double yieldStrain) {
  const double d = -2.0 * std::sin(psi * kDeg) / (1.0 - std::sin(psi * kDeg));
  Series s;
  for (int i = 0; i <= 200; ++i) {
    const double e = 0.0005 * i;
    s.x.push_back(e);
    s.y.push_back(e <= yieldStrain ? (1.0 - 2.0 * nu) * e
                                   : (1.0 - 2.0 * nu) * yieldStrain + d * (e - yieldStrain));
  }
  return s;
}

TEST(DeriveRules, DilatancyAngleAndPoissonsRatioComeBackFromTheVolumetricCurve) {
  for (double psi : {0.0, 5.0, 12.0}) {
    SCOPED_TRACE(psi);
    const Series ev = Volumetric(0.3, psi, 0.01);
    const auto d = DilatancyAngle(ev);
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->psi, psi, 1e-9);
    // q rises linearly to 300 at the yield strain.
    Series q;
    for (double e : ev.x) q.x.push_back(e), q.y.push_back(std::min(30000.0 * e, 300.0));
    const auto nu = PoissonFromInitialSlope(ev, q, 300.0);
    ASSERT_TRUE(nu);
    EXPECT_NEAR(*nu, 0.3, 1e-12);
  }
}

TEST(DeriveRules, StiffnessPowerAndReferenceModulusFromSeveralCellPressures) {
  // E = Eref ((σ3 + c cot φ)/(pref + c cot φ))^m.
  const double Eref = 25000.0, m = 0.55, pref = 100.0;
  for (const double c : {0.0, 12.0}) {
    SCOPED_TRACE(c);
    const double phi = 33.0;
    const double ccot = c / std::tan(phi * kDeg);
    std::vector<ModulusAt> moduli;
    for (double s3 : {50.0, 100.0, 200.0, 400.0}) {
      moduli.push_back({s3, Eref * std::pow((s3 + ccot) / (pref + ccot), m)});
    }
    const auto law = FitStiffnessPower(moduli, c, phi, pref);
    ASSERT_TRUE(law);
    EXPECT_NEAR(law->m, m, 1e-12);
    EXPECT_NEAR(law->Eref, Eref, 1e-8 * Eref);
    EXPECT_NEAR(ModulusAtPref(moduli[3], m, c, phi, pref), Eref, 1e-8 * Eref);
  }
}

// A bilinear e–log10 σ′ curve: recompression with Cr up to σ′p, then the
// virgin line with Cc; σ′ on a grid of 2^(1/4) steps from 25 (200 on the grid).
struct Oedometer {
  std::vector<double> sigma, e, strain;
};
Oedometer Bilinear(double Cr, double Cc, double sigmaP, double e0 = 1.2) {
  Oedometer o;
  for (int k = 0; k <= 24; ++k) {
    const double s = 25.0 * std::pow(2.0, k / 4.0);
    const double e = s <= sigmaP ? e0 - Cr * std::log10(s / 25.0)
                                 : e0 - Cr * std::log10(sigmaP / 25.0) - Cc * std::log10(s / sigmaP);
    o.sigma.push_back(s);
    o.e.push_back(e);
    o.strain.push_back((e0 - e) / (1.0 + e0));
  }
  return o;
}

TEST(DeriveRules, ABilinearCompressionCurveGivesBackItsIndicesAndItsKinkByBothMethods) {
  const Oedometer o = Bilinear(0.05, 0.40, 200.0);
  const auto idx = CompressionIndices(o.sigma, o.e);
  ASSERT_TRUE(idx);
  EXPECT_NEAR(idx->Cc, 0.40, 1e-9);
  EXPECT_NEAR(idx->Cr, 0.05, 1e-9);
  EXPECT_NEAR(idx->kink, 200.0, 1e-6);
  // Casagrande: the largest curvature lies at the kink, which is on the
  // virgin line, so the bisector meets the line there.
  const auto casagrande = CasagrandePreconsolidation(o.sigma, o.e);
  ASSERT_TRUE(casagrande);
  EXPECT_NEAR(*casagrande, 200.0, 1e-6);
  // Becker: on a geometric grid the trapezoidal work is linear in σ′ on
  // each side of the kink, so the two lines meet exactly at σ′p.
  const auto becker = BeckerPreconsolidation(o.sigma, o.strain);
  ASSERT_TRUE(becker);
  EXPECT_NEAR(*becker, 200.0, 1e-6);

  // A kink between two points (σ′p = 180 lies between 168.2 and 200):
  // both methods land within one step of the grid.
  const Oedometer off = Bilinear(0.05, 0.40, 180.0);
  const auto c2 = CasagrandePreconsolidation(off.sigma, off.e);
  const auto b2 = BeckerPreconsolidation(off.sigma, off.strain);
  ASSERT_TRUE(c2 && b2);
  EXPECT_NEAR(*c2, 180.0, 0.19 * 180.0);
  EXPECT_NEAR(*b2, 180.0, 0.19 * 180.0);
}

TEST(DeriveRules, CasagrandesConstructionOnCloselySpacedScatteredReadingsFindsTheKink) {
  // 241 readings from 25 to 1600 kPa (Cr = 0.05, Cc = 0.40, σ′p = 200 kPa),
  // each void ratio scattered by ±0.1 % alternately: between neighbours the
  // scatter's curvature is far larger than the kink's, so the construction
  // must look over a wider stencil to land near σ′p.
  std::vector<double> sigma, e;
  for (int k = 0; k <= 240; ++k) {
    const double s = 25.0 * std::pow(64.0, k / 240.0);
    const double clean = s <= 200.0 ? 1.2 - 0.05 * std::log10(s / 25.0)
                                    : 1.2 - 0.05 * std::log10(8.0) - 0.40 * std::log10(s / 200.0);
    sigma.push_back(s);
    e.push_back(clean * (k % 2 == 0 ? 1.001 : 0.999));
  }
  const auto casagrande = CasagrandePreconsolidation(sigma, e);
  ASSERT_TRUE(casagrande);
  EXPECT_NEAR(*casagrande, 200.0, 0.1 * 200.0);
}

TEST(DeriveRules, LambdaAndKappaStarFromLoadingWithAKinkAndAnUnloadingBranch) {
  // ε = κ* ln(σ/50) to σ′p = 160 on reloading, then λ* ln(σ/σ′p) beyond,
  // unloading from 640 back to 80 with κ*u.
  const double kappa = 0.01, lambda = 0.08, kappaU = 0.012, sp = 160.0;
  Series c;
  for (int k = 0; k <= 12; ++k) {
    const double s = 50.0 * std::pow(640.0 / 50.0, k / 12.0);
    c.x.push_back(s);
    c.y.push_back(s <= sp ? kappa * std::log(s / 50.0)
                          : kappa * std::log(sp / 50.0) + lambda * std::log(s / sp));
  }
  const double top = c.y.back();
  for (int k = 1; k <= 6; ++k) {
    const double s = 640.0 * std::pow(80.0 / 640.0, k / 6.0);
    c.x.push_back(s);
    c.y.push_back(top - kappaU * std::log(640.0 / s));
  }
  const auto slopes = CompressionSlopes(c);
  ASSERT_TRUE(slopes);
  // σ′p = 160 lies between two points of the loading grid: each line is
  // fitted to the points of its own side only, so both come back exactly.
  EXPECT_NEAR(slopes->lambdaStar, lambda, 1e-9);
  ASSERT_TRUE(slopes->kappaStar);
  EXPECT_TRUE(slopes->kappaFromUnloading);
  EXPECT_NEAR(*slopes->kappaStar, kappaU, 1e-9);
  ASSERT_TRUE(slopes->kink);
  EXPECT_NEAR(*slopes->kink, sp, 1e-6 * sp);
}

// One unloading increment (two readings) already gives κ*; a creep stage
// ε = μ* ln t after primary consolidation gives μ* back exactly.
TEST(DeriveRules, SwellingFromOneUnloadingIncrementAndCreepFromTheLateStage) {
  Series oed;
  for (double s : {25.0, 50.0, 100.0, 200.0, 400.0}) {
    oed.x.push_back(s);
    oed.y.push_back(0.1 * std::log(s / 25.0));
  }
  oed.x.push_back(100.0);
  oed.y.push_back(oed.y.back() - 0.01 * std::log(4.0));
  const auto c = CompressionSlopes(oed);
  ASSERT_TRUE(c && c->kappaStar);
  EXPECT_NEAR(c->lambdaStar, 0.1, 1e-12);
  EXPECT_NEAR(*c->kappaStar, 0.01, 1e-12);
  EXPECT_TRUE(c->kappaFromUnloading);

  // Primary consolidation (a Terzaghi-like rise) over the first decades,
  // then the secondary line of slope μ* = 0.006 against ln t.
  Series creep;
  for (int k = 0; k <= 60; ++k) {
    const double t = 100.0 + (k == 0 ? 0.0 : std::pow(10.0, -3.0 + 6.0 * k / 60.0));
    const double since = t - 100.0;
    creep.x.push_back(t);
    creep.y.push_back(since < 1.0 ? 0.02 * std::sqrt(since) : 0.02 + 0.006 * std::log(since));
  }
  const auto rate = SecondaryCompression(creep);
  ASSERT_TRUE(rate);
  EXPECT_NEAR(rate->muStar, 0.006, 1e-12);
  EXPECT_NEAR(rate->to, 1000.0, 1e-6);
  // A stage that swells has no creep rate.
  for (double& y : creep.y) y = -y;
  EXPECT_FALSE(SecondaryCompression(creep));
}

// The UBCSAND correlations of Beaty & Byrne (2011) at (N1)60 = 27, by hand:
// 27^0.333 = 2.99671, K_G^e = 434 · 2.99671 = 1300.57, K_B^e = 0.7 K_G^e,
// K_G^p = 1300.57 · 729 · 0.003 + 100 = 2944.35; φp − φcv = 2.7 + (27 − 15)/5
// = 5.1° for a dense sand; Rf = 1.1 · 27^−0.15 = 0.6709.
TEST(DeriveRules, UbcSandCorrelationsAtABlowCountOf27) {
  const UbcSand u = UbcSandFromBlowCount(27.0);
  EXPECT_NEAR(u.KGe, 1300.57, 0.01);
  EXPECT_NEAR(u.KBe, 910.40, 0.01);
  EXPECT_NEAR(u.KGp, 2944.35, 0.01);
  EXPECT_NEAR(u.phiPeakOverCv, 5.1, 1e-12);
  EXPECT_NEAR(u.Rf, 0.6709, 1e-4);
  // Below 15 blows no extra degree: (N1)60 = 10 gives 1°.
  EXPECT_NEAR(UbcSandFromBlowCount(10.0).phiPeakOverCv, 1.0, 1e-12);
  // A loose sand would ask for Rf above 1: capped at 0.99.
  EXPECT_DOUBLE_EQ(UbcSandFromBlowCount(1.0).Rf, 0.99);
  // The model completes a set from (N1)60 with the same numbers.
  for (double n : {3.0, 12.0, 27.0}) {
    const UbcSand d = UbcSandFromBlowCount(n);
    const models::ubc3d::Correlations m = models::ubc3d::CorrelationsOf(n, 30.0);
    EXPECT_DOUBLE_EQ(d.KGe, m.KGe);
    EXPECT_DOUBLE_EQ(d.KBe, m.KBe);
    EXPECT_DOUBLE_EQ(d.KGp, m.KGp);
    EXPECT_DOUBLE_EQ(30.0 + d.phiPeakOverCv, m.phiP);
    EXPECT_DOUBLE_EQ(d.Rf, m.Rf);
    EXPECT_DOUBLE_EQ(d.fDens, m.fDens);
  }
  // f_dens of a dense sand: exp(0.92 - 0.097 x 25) = 0.2221 (27 blows taken as 25).
  EXPECT_NEAR(u.fDens, 0.2221, 1e-4);
}

TEST(DeriveRules, OedometerModulusAtPrefFromTheVirginBranch) {
  // ε = λ ln(σ/σ0) gives the tangent Eoed = σ/λ, so Eoedref = pref/λ with m = 1.
  const double lambda = 0.02, pref = 100.0;
  Series c;
  for (int k = 0; k <= 200; ++k) {
    const double s = 50.0 * std::pow(8.0, k / 200.0);
    c.x.push_back(s);
    c.y.push_back(lambda * std::log(s / 50.0));
  }
  const auto e = OedometerModulusAtPref(c, 50.0, 1.0, pref);
  ASSERT_TRUE(e);
  // Three-point slopes of an exponential on a fine grid: 0.01 % error.
  EXPECT_NEAR(*e, pref / lambda, 1e-4 * pref / lambda);
  EXPECT_FALSE(OedometerModulusAtPref(c, 1e6, 1.0, pref)) << "no point above the start stress";
}

TEST(DeriveRules, HoekBrownRegressionGivesBackSigmaCiAndMbOfIntactRock) {
  const double sci = 60000.0, mb = 12.0;
  std::vector<Circle> peaks;
  for (double s3 : {0.0, 2000.0, 5000.0, 10000.0}) {
    peaks.push_back({s3, s3 + sci * std::sqrt(mb * s3 / sci + 1.0)});
  }
  const auto hb = HoekBrownRegression(peaks);
  ASSERT_TRUE(hb);
  EXPECT_NEAR(hb->sigmaCi, sci, 1e-6 * sci);
  EXPECT_NEAR(hb->mb, mb, 1e-9 * mb);
  EXPECT_FALSE(HoekBrownRegression({{1000.0, 5000.0}})) << "one peak gives no line";
}

TEST(DeriveRules, UndrainedStrengthSkemptonAAndTheSandStateCorrelation) {
  EXPECT_DOUBLE_EQ(UndrainedStrength(84.0), 42.0);
  EXPECT_DOUBLE_EQ(SkemptonA(30.0, 100.0), 0.3);
  Series path{{100.0, 80.0, 60.0}, {0.0, 60.0, 72.0}};
  EXPECT_DOUBLE_EQ(*LargestStressRatio(path), 1.2);
  EXPECT_DOUBLE_EQ(*FailureStressRatio(path), 1.2);
  // A path that reaches η = M = 1.1 and runs along it with q scattered by
  // ±1 % alternately: the largest ratio is 1 % high, the failure ratio is M.
  Series scattered;
  for (int i = 0; i <= 40; ++i) {
    const double p = 100.0 - i;
    const double eta = i < 10 ? 0.11 * i : 1.1 * (i % 2 == 0 ? 1.01 : 0.99);
    scattered.x.push_back(p);
    scattered.y.push_back(eta * p);
  }
  EXPECT_NEAR(*LargestStressRatio(scattered), 1.111, 1e-12);
  EXPECT_NEAR(*FailureStressRatio(scattered), 1.1, 1e-3);
  EXPECT_DOUBLE_EQ(RelativeDensity(0.7, 0.5, 0.9), 0.5);
  EXPECT_DOUBLE_EQ(BlowCountFromDensity(0.5), 11.5);
}

TEST(DeriveFit, TwoLinesMeetAtTheKinkAndBranchesSplitAtTurningPoints) {
  std::vector<double> x, y;
  for (int i = 0; i <= 10; ++i) x.push_back(i), y.push_back(i <= 4 ? 2.0 * i : 8.0 + 5.0 * (i - 4));
  const auto two = FitTwoLines(x, y);
  ASSERT_TRUE(two);
  EXPECT_NEAR(two->kink, 4.0, 1e-12);
  EXPECT_NEAR(two->first.slope, 2.0, 1e-12);
  EXPECT_NEAR(two->second.slope, 5.0, 1e-12);
  const auto b = MonotoneBranches({1, 2, 3, 2, 1, 4});
  ASSERT_EQ(b.size(), 3u);
  EXPECT_TRUE(b[0].loading);
  EXPECT_EQ(b[0].last, 2u);
  EXPECT_FALSE(b[1].loading);
  EXPECT_EQ(b[1].first, 2u);
  EXPECT_EQ(b[1].last, 4u);
  EXPECT_TRUE(b[2].loading);
}

}  // namespace
}  // namespace soilcal::derive
