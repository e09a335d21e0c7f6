// Building blocks of the constitutive core: model numbers, GenMat, and the
// principal stresses and strains by Jacobi rotation.
#include <gtest/gtest.h>

#include <cmath>

#include "core_test_helpers.hpp"
#include "models/principal.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

using testing::Rotation;

TEST(ModelNumber, ReductionTakesTheRemainderAndLowersAliasesAboveFifty) {
  struct Case {
    int code, model, codeAfter;
  };
  // 56 is an alias of 6 and is written back lowered; the drainage digit of
  // 156 survives the lowering.
  for (const Case c : {Case{106, 6, 106}, Case{56, 6, 6}, Case{2, 2, 2}, Case{156, 6, 106},
                       Case{221, 21, 221}, Case{50, 50, 50}, Case{99, 49, 49}}) {
    int code = c.code;
    EXPECT_EQ(ReduceModelNumber(code), c.model) << c.code;
    EXPECT_EQ(code, c.codeAfter) << c.code;
  }
}

TEST(GenMat, StiffnessAndStrengthGrowWithDepthBelowTheReferenceLevel) {
  PropSoil p;
  const std::pair<int, double> slots[] = {
      {1, 2000.0}, {3, 0.5}, {4, 10.0}, {6, 5.0},  // Gref, sin(phi), Cref, vert_ref
      {7, 2.0}, {19, 100.0}};  // cincr, Ginc
  for (const auto& [slot, value] : slots) p[slot] = value;
  GenMatCall call{.prop = &p, .model = 2, .y = 2.0};
  PointMatState pms;
  GenMat(call, pms);
  // 3 below the reference level: G = 2000 + 3*100, c = 10 + 3*2.
  EXPECT_DOUBLE_EQ(pms.G, 2300.0);
  EXPECT_DOUBLE_EQ(pms.SPhi, 0.5);
  EXPECT_NEAR(pms.CoheSi, 16.0 * std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(pms.CCotPhi, 16.0 * std::sqrt(0.75) / 0.5, 1e-12);

  call.y = 9.0;  // above the reference level: the reference values
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 2000.0);
  EXPECT_NEAR(pms.CoheSi, 10.0 * std::sqrt(0.75), 1e-12);

  p[1] = -50.0;  // G proportional to the cohesion
  call.model = 1;
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 500.0);

  p[1] = 1000.0;  // a decreasing stiffness stops at 0.001 Gref
  p[19] = -1000.0;
  call.y = 0.0;
  GenMat(call, pms);
  EXPECT_DOUBLE_EQ(pms.G, 1.0);

  p[3] = 0.0;  // no friction: no apex
  GenMat(call, pms);
  EXPECT_EQ(pms.CCotPhi, 1e10);
  EXPECT_DOUBLE_EQ(pms.CoheSi, 20.0);
}

double DotRow(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TEST(PrincipalStresses, RotatedTensorGivesBackItsValuesDirectionsAndInvariants) {
  const Vec3 values{-300.0, 40.0, -120.0};  // deliberately unordered
  const Mat3 frame = Rotation(0.7, -0.35, 1.9);
  const Vec6 sig = RebuildStress(values, frame);

  const Principal pr = PrincipalStresses(sig);
  // Ordered s1 <= s2 <= s3; rounding of a few ulps of 300.
  const Vec3 ordered{-300.0, -120.0, 40.0};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(pr.s[i], ordered[i], 1e-11) << i;
  // Each direction is the frame row of its value (up to sign), unit length.
  const int rowOf[3] = {0, 2, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(std::fabs(DotRow(pr.dir[i], frame[rowOf[i]])), 1.0, 1e-12) << i;
    EXPECT_NEAR(DotRow(pr.dir[i], pr.dir[i]), 1.0, 1e-12) << i;
  }
  // p = (sum)/3, q = sqrt(((s1-s2)^2 + (s2-s3)^2 + (s3-s1)^2)/2).
  EXPECT_NEAR(pr.p, (-300.0 + 40.0 - 120.0) / 3.0, 1e-11);
  EXPECT_NEAR(pr.q, std::sqrt(0.5 * (180.0 * 180.0 + 160.0 * 160.0 + 340.0 * 340.0)), 1e-10);
  // Trace and mean stress agree with the tensor's own.
  EXPECT_NEAR(pr.p, MeanStress(sig), 1e-11);

  // Rebuilding from the decomposition returns the tensor.
  const Vec6 back = RebuildStress(pr.s, pr.dir);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(back[i], sig[i], 1e-10) << i;

  // Zero and isotropic tensors need no rotation.
  EXPECT_EQ(PrincipalStresses({}).s, (Vec3{0.0, 0.0, 0.0}));
  const Principal iso = PrincipalStresses({-50.0, -50.0, -50.0, 0.0, 0.0, 0.0});
  EXPECT_EQ(iso.q, 0.0);
  EXPECT_EQ(iso.dir[0], (Vec3{1.0, 0.0, 0.0}));
}

TEST(PrincipalStrains, EngineeringShearEntersTheTensorHalved) {
  // Simple shear gamma_xy = 2e-3 is a pure shear of +-1e-3 at 45 degrees.
  const Principal pr = PrincipalStrains({0.0, 0.0, 0.0, 2e-3, 0.0, 0.0});
  const Vec3 principal{-1e-3, 0.0, 1e-3};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(pr.s[i], principal[i], 1e-18) << i;
  EXPECT_NEAR(std::fabs(pr.dir[2][0]), std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(std::fabs(pr.dir[2][1]), std::sqrt(0.5), 1e-15);
  // The same vector read as a stress is not halved.
  EXPECT_NEAR(PrincipalStresses({0.0, 0.0, 0.0, 2e-3, 0.0, 0.0}).s[2], 2e-3, 1e-18);
}

}  // namespace
}  // namespace soilcal::models
