#include "input/curve_quantity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "support/run_error.hpp"

namespace soilcal::input {
namespace {

// Results of the Jacobi decomposition agree with the closed form to a few
// rounding errors of the largest component.
constexpr double kPrincipalTol = 1e-12 * 100.0;
constexpr double kStrainTol = 1e-15;

TEST(CurveQuantity, PrincipalValuesFollowMohrsCircleInAscendingOrder) {
  RecordedPoint p;
  // Plane xy with shear: centre -75, radius sqrt(25^2 + 10^2); zz alone.
  p.stress = {-100, -50, -30, 10, 0, 0};
  // Engineering shear 0.006 is a tensor shear of 0.003: centre -0.003,
  // radius sqrt(0.007^2 + 0.003^2).
  p.strain = {-0.01, 0.004, 0.002, 0.006, 0, 0};
  const double r = std::sqrt(725.0);
  const double s1 = -75.0 - r, s2 = -75.0 + r, s3 = -30.0;
  const double re = std::sqrt(0.007 * 0.007 + 0.003 * 0.003);
  const std::pair<int, double> stresses[] = {{2, s1}, {3, s2}, {4, s3}, {5, s3 - s1},
                                             {25, (s1 + s3) / 2}, {26, (s1 - s3) / 2}, {-2, -s1}};
  for (auto [c, v] : stresses) EXPECT_NEAR(CurveQuantity(p, c), v, kPrincipalTol) << c;
  const std::pair<int, double> strains[] = {{1, -0.003 - re}, {27, 0.002}, {28, -0.003 + re}};
  for (auto [c, v] : strains) EXPECT_NEAR(CurveQuantity(p, c), v, kStrainTol) << c;
}

TEST(CurveQuantity, InvariantsMatchTheirTriaxialAndShearForms) {
  RecordedPoint triaxial;
  triaxial.stress = {-300, -100, -100, 0, 0, 0};
  triaxial.strain = {-0.03, 0.01, 0.01, 0, 0, 0};
  // Square roots of sums: a few rounding errors of the result.
  constexpr double kRel = 1e-14;
  EXPECT_DOUBLE_EQ(CurveQuantity(triaxial, 9), 200.0);  // q = |s_axial - s_radial|
  EXPECT_DOUBLE_EQ(CurveQuantity(triaxial, 8), -500.0 / 3.0);
  // Triaxial shear strain 2/3 |e_axial - e_radial|.
  EXPECT_NEAR(CurveQuantity(triaxial, 30), 2.0 / 3.0 * 0.04, kRel * 0.04);
  EXPECT_NEAR(CurveQuantity(triaxial, 6), -0.01, kRel * 0.03);

  RecordedPoint shear;
  shear.stress = {0, 0, 0, 0, 40, 0};
  shear.strain = {0, 0, 0, 0, 0, 0.012};
  EXPECT_NEAR(CurveQuantity(shear, 9), std::sqrt(3.0) * 40.0, kRel * 40.0);  // q = sqrt(3) tau
  EXPECT_NEAR(CurveQuantity(shear, 30), std::sqrt(1.0 / 3.0) * 0.006, kRel * 0.006);
}

TEST(CurveQuantity, ComponentsPorePressureAndTimeWithNegatedCodes) {
  RecordedPoint p;
  p.time = 3.5;
  p.pw = -20.0;
  p.stress = {-100, -50, -30, 1, 2, 3};
  p.strain = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(CurveQuantity(p, 13 + i), p.strain[static_cast<std::size_t>(i)]);
    EXPECT_EQ(CurveQuantity(p, 19 + i), p.stress[static_cast<std::size_t>(i)]);
    EXPECT_EQ(CurveQuantity(p, -(19 + i)), -p.stress[static_cast<std::size_t>(i)]);
  }
  // 29 is -(sxx - syy) / 2; 34 is pw plus the mean total stress -60.
  const std::pair<int, double> codes[] = {{7, -20.0}, {10, 3.5}, {-10, -3.5},
                                          {29, 25.0}, {31, -120.0}, {32, -70.0},
                                          {33, -50.0}, {34, -80.0}, {35, -75.0}};
  for (const auto& [code, value] : codes) EXPECT_EQ(CurveQuantity(p, code), value) << code;
}

TEST(CurveQuantity, UnknownCodesPrintAnErrorAndRaiseRunError17) {
  RecordedPoint p;
  for (int code : {0, 11, 12, -11, 36, 1000}) {
    EXPECT_FALSE(IsKnownQuantity(code));
    ::testing::internal::CaptureStdout();
    const int raised = testing::RunErrorOf([&] { CurveQuantity(p, code); });
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(raised, 17);
    EXPECT_EQ(out, " ERROR: curve parameter " + std::to_string(code) + " does not exist\n");
  }
  for (int code : {1, 10, 13, 35, -35}) EXPECT_TRUE(IsKnownQuantity(code));
}

}  // namespace
}  // namespace soilcal::input
