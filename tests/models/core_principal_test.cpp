// Principal stresses and strains by Jacobi rotation.
#include <gtest/gtest.h>

#include <cmath>

#include "core_test_helpers.hpp"
#include "models/principal.hpp"

namespace soilcal::models {
namespace {

using testing::Rotation;

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
