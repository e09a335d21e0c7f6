// NGI-ADP (models 12, 35) at one stress point: the set-up rules, the
// initialisation checks and their messages, the strength at depth with the
// closed-form hardening curve of undrained triaxial compression, and the
// abort of a failed return.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

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
  const std::pair<int, double> slots[] = {
      {2, 0.25}, {4, 40.0}, {6, 10.0}, {7, 2.0}, {20, 0.5}, {28, 0.495}, {31, 300.0}, {33, 24.0},
      {34, 30.0}, {38, 3.0}, {39, 6.0}, {40, 4.0}, {44, 0.9}};
  for (const auto& [slot, value] : slots) p[slot] = value;
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
  const int model = set.modelCode % 100;
  PreparedPoint pt;
  GenMat({.prop = &set.prop, .k = &k, .model = model, .stress = sig, .y = y}, pt.pms);
  PointInitCall init{.prop = &set.prop, .k = &k, .model = model, .initialStress = sig,
                     .pms = &pt.pms, .stVar = pt.state.data(), .nStat = ngi_adp::kStateVars};
  pt.errors = InitStressPoint(init);
  return pt;
}

TEST(NgiAdp, SetUpDerivesStiffnessRatiosAndStrengthAtDepthAndTheStartMobilisation) {
  for (int model : {12, 35}) {
    MaterialSet set = Clay(model);
    const PreparedPoint pt = Prepare(set, 4.0, {-80, -80, -80, 0, 0, 0});
    EXPECT_EQ(pt.errors, 0);
    const std::pair<int, double> props[] = {
        {1, 40.0 * 300.0}, {19, 300.0 * 2.0}, {3, 0.0}, {16, 1e10}, {42, 0.25}, {43, 0.495}};
    for (const auto& [i, value] : props) EXPECT_EQ(set.prop[i], value) << i;
    EXPECT_DOUBLE_EQ(set.prop[36], 0.6);
    EXPECT_DOUBLE_EQ(set.prop[37], 0.75);
    // s_u^A + s_u,inc^A (y_ref - y) = 40 + 2 (10 - 4), and G in proportion.
    EXPECT_DOUBLE_EQ(pt.pms.CoheSi, 52.0);
    EXPECT_DOUBLE_EQ(pt.pms.G, 300.0 * 52.0);
    // Isotropic start at tau0 = 0: the centre of the surface, no hardening;
    // a start beyond the peak surface is taken as fully mobilised.
    EXPECT_EQ(pt.state[ngi_adp::kXi], 0.0);
    EXPECT_EQ(pt.state[ngi_adp::kGammaP], 0.0);
    EXPECT_EQ(Prepare(set, 10.0, {-50, -200, -50, 0, 0, 0}).state[ngi_adp::kXi], 1.0);
  }
}

// The peak surface at y = -6, 16 below the reference depth (s_u^A = 72):
// triaxial compression at 0.9 s_u^A, extension at s_u^P = 0.6 s_u^A and
// simple shear (around the centre (s_u^A - s_u^P)/2) at s_u^DSS = 0.75 s_u^A.
TEST(NgiAdp, PeakSurfaceAtDepthPassesThroughTheThreeStrengths) {
  MaterialSet set = Clay();
  const PreparedPoint pt = Prepare(set, -6.0, {-100, -100, -100, 0, 0, 0});
  ASSERT_EQ(pt.errors, 0);
  const double suA = 40.0 + 2.0 * 16.0;
  ASSERT_DOUBLE_EQ(pt.pms.CoheSi, suA);
  const ngi_adp::Params c = ngi_adp::MakeParams(set.prop, pt.pms.CoheSi, pt.pms.G);
  // Triaxial deviator along y with (sigma_x - sigma_y)/2 = tau.
  auto triaxial = [](double tau) {
    return Vec6{-100 + 2 * tau / 3, -100 - 4 * tau / 3, -100 + 2 * tau / 3, 0, 0, 0};
  };
  const double centre = 0.5 * (suA - 0.6 * suA);
  Vec6 shear = triaxial(centre);  // pure shear around the centre's deviator
  shear[3] = 0.75 * suA;
  // The extension side keeps a corner rounded by 1e-6 in a1: 0.03 %.
  const std::pair<Vec6, double> onSurface[] = {
      {triaxial(0.9 * suA), 1e-9}, {triaxial(-0.6 * suA), 3e-4}, {shear, 1e-9}};
  for (const auto& [sig, tol] : onSurface) {
    EXPECT_NEAR(ngi_adp::Evaluate(c, sig, 1.0, false).F, 0.0, tol * suA);
    // Any stress is on the hardening surface of its own mobilisation.
    EXPECT_NEAR(ngi_adp::InitialKappa(c, sig), 1.0, tol * 10.0);
  }
  const double tauHalf = 0.45 * suA;
  EXPECT_NEAR(ngi_adp::InitialKappa(c, triaxial(tauHalf)), 0.5, 1e-9);
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
