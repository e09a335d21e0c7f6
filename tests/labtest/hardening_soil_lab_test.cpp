// Hardening Soil models run through the lab-test driver with the
// cap-parameter library, against closed-form soil mechanics.
#include <gtest/gtest.h>

#include <cmath>

#include "labtest/lab_records.hpp"
#include "models/core_test_helpers.hpp"

namespace soilcal::testing {
namespace {

using models::testing::CapLibrary;

// Oedometer on the normal compression line: all strains prescribed, the
// axial one compressing.
input::LabTest Oedometer(int model, double sigmaV, double k0, double axialStrain, int steps) {
  const Phase load{steps, {0, axialStrain, 0, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}};
  return MakeTest(model, {-k0 * sigmaV, -sigmaV, -k0 * sigmaV, 0, 0, 0}, {load}, 1e-9);
}

// Tangent d sigma_v / d eps_v where sigma_v passes `sv`.
double OedometricTangent(const labtest::Recording& rec, double sv) {
  for (int k = 2; k <= rec.nRecorded; ++k) {
    const double s0 = -rec.Point(k - 1).stress[1], s1 = -rec.Point(k).stress[1];
    if (s0 < sv && s1 >= sv) {
      return (s1 - s0) / (rec.Point(k - 1).strain[1] - rec.Point(k).strain[1]);
    }
  }
  return -1.0;
}

TEST(HardeningSoilLab, PreconsolidationRaisesTheHardeningStateAndStiffensReloading) {
  CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  double gammaP[2], pc[2];
  for (int i = 0; i < 2; ++i) {
    HsParams h;
    h.ocr = i == 0 ? 1.0 : 2.0;
    auto job = HsJob(6, h);
    // No load step: the initialised point is what stays.
    const RunOutcome out = Simulate(*job, MakeTest(6, {-50, -100, -50, 0, 0, 0}, {}), cap.res);
    ASSERT_EQ(out.run.status, 0);
    gammaP[i] = out.ctx->point.stVar0[5];
    pc[i] = out.ctx->point.stVar0[6];
  }
  // OCR 2: the K0nc state at sigma_v = 200 (200, 100, 100) sets both.
  // pc = sqrt(p^2 + (qt/alpha)^2) with p = 133.3 and qt = 200 + 0.4*100 -
  // 1.4*100 = 100; gamma_p is the hyperbola there (sigma3 = 100, stress
  // factor 1): (2/E_i) q/(1 - q/q_a) - 2q/E_ur with E_i = 2 E50/(2 - Rf).
  const double ei = 2.0 * 20000.0 / 1.1, qa = 200.0 / 0.9;
  EXPECT_NEAR(gammaP[1], 2.0 / ei * 100.0 / (1.0 - 100.0 / qa) - 200.0 / 60000.0, 1e-9);
  EXPECT_GT(pc[1], 2.0 * pc[0] * 0.99);
  EXPECT_GT(gammaP[1], gammaP[0]);

  // Reloading the overconsolidated sample is elastic and stiff until it
  // meets its pre-consolidation, then it follows the normal line again.
  HsParams h;
  h.ocr = 2.0;
  auto job = HsJob(6, h);
  const RunOutcome out = Simulate(*job, Oedometer(6, 100.0, 0.5, -0.03, 600), cap.res);
  ASSERT_EQ(out.run.status, 0);
  // Elastic oedometric modulus E_ur (1 - nu)/((1 + nu)(1 - 2 nu)) with the
  // factor of the lateral stress, 51.25 at sigma_v = 105 (it grows by
  // nu/(1 - nu) of the vertical): 60000 * sqrt(0.5125) * 0.8/0.72 = 47730;
  // 2 %: the factor of each step is that of its start.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 105.0), 47730.0, 0.02 * 47730.0);
  // Further on the elastic path turns towards failure (its lateral ratio
  // 0.25 is below K0nc) and shear hardening sets in before sigma_pc.
  EXPECT_NEAR(OedometricTangent(out.ctx->rec, 500.0), 20000.0 * std::sqrt(5.0),
              0.03 * 20000.0 * std::sqrt(5.0));
}

}  // namespace
}  // namespace soilcal::testing
