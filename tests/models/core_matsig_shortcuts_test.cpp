// The caller's shortcuts into MatSig: a stiffness handed by pointer instead of
// copied into the input, and a family looked up once by the caller.
#include <gtest/gtest.h>

#include <cmath>

#include "core_test_helpers.hpp"
#include "models/family.hpp"

namespace soilcal::models {
namespace {

using testing::PointHarness;

// G = 1000, nu = 0.3.
constexpr double kG = 1000.0, kNu = 0.3;
// phi = 30 deg, psi = 0, c = 10, no tension: F31 = (s3-s1)/2 + (s3+s1)/2 sin(phi) - c cos(phi).
constexpr double kSinPhi = 0.5, kC = 10.0, kT = 0.0;
const double kCohesi = kC * std::sqrt(1.0 - kSinPhi * kSinPhi);

PointHarness MohrCoulombPoint() { return PointHarness(2, kG, kNu, kSinPhi, 0.0, kC, kT); }

TEST(MatSig, StiffnessByPointerGivesWhatTheCopiedMatrixGives) {
  const Mat6 D = IsotropicElasticMatrix(kG, kNu);
  const Vec6 sig0{-100.0, -100.0, -100.0, 0.0, 0.0, 0.0};

  // Plastic: axial compression with lateral extension (trial s1 = -330,
  // s3 = -50, F31 > 0) returns onto F31 = 0, and the pointer route gives bit
  // for bit what the copied matrix gives.
  PointHarness copied = MohrCoulombPoint();
  copied.in.sig0 = sig0;
  copied.in.dEps = {0.04, -0.1, 0.04, 0.0, 0.0, 0.0};
  const MatSigOutput a = copied.Run();

  PointHarness pointed = MohrCoulombPoint();
  pointed.in.D = Mat6{};
  pointed.in.stiffness = &D;
  pointed.in.family = FindModelFamily(2);
  pointed.in.sig0 = sig0;
  pointed.in.dEps = copied.in.dEps;
  const MatSigOutput b = pointed.Run();

  ASSERT_EQ(a.iAbort, 0);
  ASSERT_EQ(b.iAbort, 0);
  EXPECT_NE(a.iArea, 0);
  EXPECT_EQ(a.iArea, b.iArea);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a.sigC[i], b.sigC[i]) << "component " << i;
  EXPECT_EQ(pointed.counters.plastic, copied.counters.plastic);
  EXPECT_EQ(pointed.counters.sumErr, copied.counters.sumErr);

  // On the yield surface: s1 = sig_yy (most compressive), s3 = the lateral one.
  const double s1 = b.sigC[1], s3 = std::max(b.sigC[0], b.sigC[2]);
  const double f31 = 0.5 * (s3 - s1) + 0.5 * (s3 + s1) * kSinPhi - kCohesi;
  // 1e-7 on stresses of order 1e2: rounding of the closed-form return.
  EXPECT_NEAR(f31, 0.0, 1e-7);
}

}  // namespace
}  // namespace soilcal::models
