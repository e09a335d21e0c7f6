// NGI-ADP (models 12, 35) at one stress point: the set-up rules, the
// initialisation checks and their messages, the strength at depth with the
// closed-form hardening curve of undrained triaxial compression, and the
// abort of a failed return.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core_test_helpers.hpp"
#include "models/ngi_adp/ngi_adp.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

using testing::DiagCapture;
using testing::PointHarness;

// A soft clay: s_u^A 40 at the reference depth 10, growing by 2 per unit of
// depth; s_u^P 24, s_u^DSS 30 there; G_ur/s_u^A 300; peak strains 3 %, 6 %,
// 4 %; tau0 = 0; s_u^C,TX/s_u^A 0.9.
MaterialSet Clay(int model = 12) {
  MaterialSet set;
  set.modelCode = model;
  PropSoil& p = set.prop;
  p[2] = 0.25;
  p[4] = 40.0;
  p[6] = 10.0;
  p[7] = 2.0;
  p[20] = 0.5;
  p[28] = 0.495;
  p[31] = 300.0;
  p[33] = 24.0;
  p[34] = 30.0;
  p[38] = 3.0;
  p[39] = 6.0;
  p[40] = 4.0;
  p[44] = 0.9;
  return set;
}

struct PreparedPoint {
  PointMatState pms;
  std::vector<double> state = std::vector<double>(ngi_adp::kStateVars, -1.0);
  int errors = 0;
};

PreparedPoint Prepare(MaterialSet& set, double y, const Vec6& sig) {
  const ModelConstants k;
  CopySoilProp(1, set, k);
  PerTestCompletion(set.modelCode % 100, set.prop, k, ModelResources{});
  PreparedPoint pt;
  GenMatCall gm;
  gm.prop = &set.prop;
  gm.k = &k;
  gm.model = set.modelCode % 100;
  gm.stress = sig;
  gm.y = y;
  GenMat(gm, pt.pms);
  PointInitCall init;
  init.prop = &set.prop;
  init.k = &k;
  init.model = gm.model;
  init.initialStress = sig;
  init.pms = &pt.pms;
  init.stVar = pt.state.data();
  init.nStat = ngi_adp::kStateVars;
  pt.errors = InitStressPoint(init);
  return pt;
}

TEST(NgiAdp, SetUpDerivesStiffnessRatiosAndStrengthAtDepth) {
  for (int model : {12, 35}) {
    MaterialSet set = Clay(model);
    const PreparedPoint pt = Prepare(set, 4.0, {-80, -80, -80, 0, 0, 0});
    EXPECT_EQ(pt.errors, 0);
    EXPECT_EQ(set.prop[1], 40.0 * 300.0);
    EXPECT_EQ(set.prop[19], 300.0 * 2.0);
    EXPECT_EQ(set.prop[3], 0.0);
    EXPECT_EQ(set.prop[16], 1e10);
    EXPECT_EQ(set.prop[42], 0.25);
    EXPECT_EQ(set.prop[43], 0.495);
    EXPECT_DOUBLE_EQ(set.prop[36], 0.6);
    EXPECT_DOUBLE_EQ(set.prop[37], 0.75);
    // s_u^A + s_u,inc^A (y_ref - y) = 40 + 2 (10 - 4), and G in proportion.
    EXPECT_DOUBLE_EQ(pt.pms.CoheSi, 52.0);
    EXPECT_DOUBLE_EQ(pt.pms.G, 300.0 * 52.0);
    // Isotropic start at tau0 = 0: the centre of the surface, no hardening.
    EXPECT_EQ(pt.state[ngi_adp::kXi], 0.0);
    EXPECT_EQ(pt.state[ngi_adp::kGammaP], 0.0);
  }
}

// Strain-driven undrained triaxial compression (isochoric, along y) at
// y = -6, 16 below the reference depth: s_u^A = 40 + 2 * 16 = 72. With tau0 = 0 the centre moves as kappa
// (s_u^A - s_u^P)/2, so q/2 = kappa s_u^C,TX and the shear strain is
// gamma = tau/G + xi gamma_f^p with kappa = 2 sqrt(xi)/(1 + xi): the curve
// is known at every point, and the peak q/2 = 0.9 * 72 comes at gamma_f^C.
TEST(NgiAdp, UndrainedTriaxialCompressionFollowsTheHardeningLawToThePeak) {
  MaterialSet set = Clay();
  const PreparedPoint pt = Prepare(set, -6.0, {-100, -100, -100, 0, 0, 0});
  ASSERT_EQ(pt.errors, 0);
  const double suA = 40.0 + 2.0 * 16.0, suC = 0.9 * suA, G = 300.0 * suA;
  ASSERT_DOUBLE_EQ(pt.pms.CoheSi, suA);
  const ngi_adp::Params c = ngi_adp::MakeParams(set.prop, pt.pms.CoheSi, pt.pms.G);
  const double gpf = 0.03 - suC / G;
  const Mat6 D = IsotropicElasticMatrix(G, 0.495);

  Vec6 sig{-100, -100, -100, 0, 0, 0};
  double xi = 0.0, gp = 0.0;
  const double dEpsY = -2e-4;  // gamma = 1.5 * 2e-4 per step
  bool reachedPeak = false;
  for (int step = 1; step <= 300; ++step) {
    const Vec6 dEps{-0.5 * dEpsY, dEpsY, -0.5 * dEpsY, 0, 0, 0};
    const Vec6 dSig = MatVec(D, dEps);
    Vec6 trial = sig;
    for (int i = 0; i < 6; ++i) trial[i] += dSig[i];
    const ngi_adp::Return r = ngi_adp::NgiAdpReturn(c, trial, xi, gp);
    ASSERT_FALSE(r.failed) << step;
    sig = r.sig;
    xi = r.xi;
    gp = r.gammaP;
    const double gamma = 1.5 * -dEpsY * step;
    const double tau = 0.5 * (sig[0] - sig[1]);
    EXPECT_NEAR(MeanStress(sig), -100.0, 1e-9) << "no change of the total mean stress";
    EXPECT_LE(tau, suC * (1.0 + 1e-9));
    // Closed form: gamma at this tau. On the triaxial path the flow keeps
    // its direction, so the return of each step is exact up to its
    // tolerance; 0.1 % of gamma_f leaves room for that alone.
    const double kappa = std::min(1.0, tau / suC);
    const double u = kappa / (1.0 + std::sqrt(1.0 - kappa * kappa));
    if (kappa < 0.999) {
      EXPECT_NEAR(gamma, tau / G + u * u * gpf, 0.001 * 0.03) << "step " << step;
    }
    if (gamma >= 0.03 - 1e-12 && !reachedPeak) {
      reachedPeak = true;
      EXPECT_NEAR(tau, suC, 1e-3 * suC) << "peak at gamma_f^C = 3 %";
      EXPECT_NEAR(gp, 0.03 - tau / G, 0.005 * 0.03) << "plastic shear strain at the peak";
    }
    if (gamma < 0.9 * 0.03) {
      EXPECT_LT(tau, 0.999 * suC) << "still hardening at " << gamma;
    }
  }
  EXPECT_TRUE(reachedPeak);
  EXPECT_NEAR(0.5 * (sig[0] - sig[1]), suC, 1e-9 * suC);
}

TEST(NgiAdp, InitialisationReportsBadShapeAndLowPeakStrains) {
  DiagCapture diag;
  {
    // s_u^C,TX above s_u^A has no Tresca-like shape: a1 > 1.
    MaterialSet set = Clay();
    set.prop[44] = 1.1;
    EXPECT_EQ(Prepare(set, 0.0, {-100, -100, -100, 0, 0, 0}).errors, 1);
    EXPECT_NE(diag.Text().find("bad value for a1, a1 = "), std::string::npos);
    EXPECT_NE(diag.Text().find("Bad value for a1"), std::string::npos);
  }
  {
    // gamma_f^C = 0.3 % is below the elastic strain s_u^C,TX/G = 0.9/300.
    MaterialSet set = Clay();
    set.prop[38] = 0.29;
    EXPECT_EQ(Prepare(set, 10.0, {-100, -100, -100, 0, 0, 0}).errors, 1);
    EXPECT_NE(diag.Text().find("2:peak plastic shear strain is too low"), std::string::npos);
    set = Clay();
    set.prop[38] = 0.31;
    EXPECT_EQ(Prepare(set, 10.0, {-100, -100, -100, 0, 0, 0}).errors, 0);
  }
  // A shape ratio of cos 30 deg (the circle, a1 = 0) is still admissible.
  MaterialSet set = Clay();
  set.prop[33] = 40.0;  // s_u^P = s_u^A: no shift, r = s_u^C,TX/s_u^A
  set.prop[44] = std::sqrt(3.0) / 2.0 + 1e-9;
  const PreparedPoint pt = Prepare(set, 10.0, {-100, -100, -100, 0, 0, 0});
  EXPECT_EQ(pt.errors, 0);
  EXPECT_NEAR(ngi_adp::MakeParams(set.prop, 40.0, 12000.0).a1, 0.0, 1e-6);
}

// A stress outside the peak surface at the start is taken as fully mobilised;
// one inside it gets the mobilisation that puts it on the surface.
TEST(NgiAdp, InitialStressSetsTheMobilisation) {
  MaterialSet set = Clay();
  // (sigma_x - sigma_y)/2 = 0.5 s_u^C,TX at y_ref: kappa 0.5.
  const double tau = 0.5 * 0.9 * 40.0;
  const PreparedPoint half = Prepare(set, 10.0, {-100 + tau, -100 - tau, -100 + tau, 0, 0, 0});
  EXPECT_NEAR(ngi_adp::Kappa(half.state[ngi_adp::kXi]), 0.5, 1e-9);
  set = Clay();
  const PreparedPoint beyond = Prepare(set, 10.0, {-50, -200, -50, 0, 0, 0});
  EXPECT_EQ(beyond.state[ngi_adp::kXi], 1.0);
}

TEST(NgiAdp, FailedReturnAbortsWith247) {
  DiagCapture diag;
  PointHarness h(12, 12000.0, 0.25, 0.0, 0.0, 40.0, 1e10);
  h.set.prop = Clay().prop;
  CopySoilProp(1, h.set, h.k);
  PerTestCompletion(12, h.set.prop, h.k, ModelResources{});
  h.in.sig0 = {-100, -100, -100, 0, 0, 0};
  h.in.dEps = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 0, 0, 0};
  const MatSigOutput out = h.Run();
  EXPECT_EQ(out.iAbort, 247);
  EXPECT_EQ(h.texts.main, "iAbort<>0 from : NGIADP_Sig");
  EXPECT_NE(diag.Text().find("iAbort<>0 from : NGIADP_Sig"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::models
