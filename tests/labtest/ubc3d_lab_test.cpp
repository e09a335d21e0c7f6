// The UBC3D sand (model 34) through the lab-test driver, against closed-form
// soil mechanics: the power law of its small-strain moduli, the peak
// strength of drained compression, the turn from contraction to dilation at
// the constant-volume friction angle.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "labtest/ubc3d_sand.hpp"
#include "models/principal.hpp"

namespace soilcal::testing {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

double Bulk(const UbcSand& s, double p) { return s.KBe * s.pref * std::pow(p / s.pref, s.me); }
double Shear(const UbcSand& s, double p) { return s.KGe * s.pref * std::pow(p / s.pref, s.ne); }
double MeanEffective(const Vec6& sig) { return -(sig[0] + sig[1] + sig[2]) / 3.0; }

TEST(UbcSandLab, SmallStrainModuliFollowThePowerLawOfTheMeanStress) {
  const UbcSand sand;
  auto job = UbcSandJob(34, sand);
  for (const double p0 : {50.0, 200.0}) {
    SCOPED_TRACE(p0);
    const std::array<double, 6> iso{-p0, -p0, -p0, 0, 0, 0};
    // Bulk: an isotropic compression of 3e-6 from the isotropic state keeps
    // the stress ratio (no plastic strain): dp = K d eps_v with K at p0
    // (1e-9 relative: all strains prescribed, the step is exact).
    const Phase squeeze{1, {-1e-6, -1e-6, -1e-6, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}};
    const RunOutcome bulk = Simulate(*job, MakeTest(34, iso, {squeeze}));
    ASSERT_EQ(bulk.run.status, 0);
    const double dp = MeanEffective(bulk.ctx->rec.Point(2).stress) - p0;
    EXPECT_NEAR(dp / 3e-6, Bulk(sand, p0), 1e-9 * Bulk(sand, p0));

    // Shear: drained compression to 0.1 % axial strain, then an unloading
    // step of 1e-5. The unloading compaction is isotropic, so the
    // deviatoric response is elastic: dq = 3 G d eps_q, G taken along the
    // step between its value at the start and at the end mean stress (1e-6
    // beyond: the cell pressure is held to the solver's tolerance of 1e-7
    // relative).
    const Phase load{10, {0, -1e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
    const Phase unload{1, {0, 1e-5, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
    const RunOutcome shear = Simulate(*job, MakeTest(34, iso, {load, unload}));
    ASSERT_EQ(shear.run.status, 0);
    const input::RecordedPoint a = shear.ctx->rec.Point(11), b = shear.ctx->rec.Point(12);
    const double dq = (a.stress[0] - a.stress[1]) - (b.stress[0] - b.stress[1]);
    const double dEq = 2.0 / 3.0 * ((b.strain[1] - b.strain[0]) - (a.strain[1] - a.strain[0]));
    const double Ga = Shear(sand, MeanEffective(a.stress));
    const double Gb = Shear(sand, MeanEffective(b.stress));
    ASSERT_GT(std::fabs(Ga - Gb), 1e-4 * Ga);  // the compaction moves p' enough to tell
    EXPECT_GE(dq / dEq, 3.0 * std::min(Ga, Gb) * (1.0 - 1e-6));
    EXPECT_LE(dq / dEq, 3.0 * std::max(Ga, Gb) * (1.0 + 1e-6));
    // The unloading compacts: the volume falls more than dp/K alone.
    const double dpUnload = MeanEffective(b.stress) - MeanEffective(a.stress);
    EXPECT_LT(VolumetricStrain(b.strain) - VolumetricStrain(a.strain),
              -dpUnload / Bulk(sand, MeanEffective(a.stress)));
  }
}

TEST(UbcSandLab, DrainedTriaxialCompressionEndsOnThePeakStrength) {
  // q_f = 2 (c cos phi_p + sigma3 sin phi_p) / (1 - sin phi_p) at the end of
  // 10 % axial strain, with and without cohesion, at two cell pressures
  // (1e-5 relative: perfectly plastic at phi_p, the lateral stress held to
  // the solver's tolerance).
  for (const double c : {0.0, 10.0}) {
    UbcSand sand;
    sand.c = c;
    auto job = UbcSandJob(34, sand);
    for (const double cell : {100.0, 300.0}) {
      SCOPED_TRACE(::testing::Message() << "c " << c << " cell " << cell);
      const RunOutcome out = Simulate(*job, TriaxialCompression(34, -0.1, 100, 1e-7, cell));
      ASSERT_EQ(out.run.status, 0);
      const input::RecordedPoint end = out.ctx->rec.Point(101);
      const double sp = std::sin(sand.phiP * kDegree), cp = std::cos(sand.phiP * kDegree);
      const double qf = 2.0 * (c * cp + cell * sp) / (1.0 - sp);
      EXPECT_NEAR(end.stress[0] - end.stress[1], qf, 1e-5 * qf);
      EXPECT_NEAR(end.stress[0], -cell, 1e-5 * cell);
      // Beyond the peak the sand dilates at the isotropic dilatancy of
      // phi_p: d eps_v / d eps_1 = -sin psi / (1/2 - sin psi / 3) with
      // sin psi = sin phi_p - sin phi_cv (1e-6: the strain is plastic only).
      const input::RecordedPoint before = out.ctx->rec.Point(91);
      const double sinPsi = sp - std::sin(sand.phiCv * kDegree);
      const double rate = (VolumetricStrain(end.strain) - VolumetricStrain(before.strain)) /
                          (end.strain[1] - before.strain[1]);
      EXPECT_NEAR(rate, -sinPsi / (0.5 - sinPsi / 3.0), 1e-6);
    }
  }
}

TEST(UbcSandLab, ContractionTurnsToDilationWhereTheMobilisedFrictionPassesPhiCv) {
  // Drained compression at 100 kPa in 400 steps to 2 %: the plastic volume
  // (the total less dp/K of each step, K at its start as the model takes
  // it) falls while sin phi_mob < sin phi_cv and rises after; its lowest
  // point lies where the mobilised ratio passes sin phi_cv, within the
  // ratio's change over one step.
  const UbcSand sand;
  auto job = UbcSandJob(34, sand);
  const RunOutcome out = Simulate(*job, TriaxialCompression(34, -0.02, 400, 1e-9, 100.0));
  ASSERT_EQ(out.run.status, 0);
  const labtest::Recording& rec = out.ctx->rec;
  auto ratio = [&](int k) {
    const Vec6& s = rec.Point(k).stress;
    return (s[0] - s[1]) / (-s[0] - s[1]);
  };
  double elastic = 0.0, lowest = 1.0;
  int lowestAt = 0;
  for (int k = 2; k <= 401; ++k) {
    const double pPrev = MeanEffective(rec.Point(k - 1).stress);
    elastic += (MeanEffective(rec.Point(k).stress) - pPrev) / Bulk(sand, pPrev);
    // Compression negative: the plastic volume change is eps_v + elastic.
    const double plastic = VolumetricStrain(rec.Point(k).strain) + elastic;
    if (plastic < lowest) {
      lowest = plastic;
      lowestAt = k;
    }
  }
  ASSERT_GT(lowestAt, 2);
  ASSERT_LT(lowestAt, 401);
  EXPECT_LT(lowest, -1e-5);  // a real contraction first
  const double sinCv = std::sin(sand.phiCv * kDegree);
  const double step = std::max(ratio(lowestAt + 1) - ratio(lowestAt), ratio(lowestAt) - ratio(lowestAt - 1));
  EXPECT_LE(ratio(lowestAt - 1), sinCv + step);
  EXPECT_GE(ratio(lowestAt + 1), sinCv - step);
  EXPECT_NEAR(ratio(lowestAt), sinCv, step);
}

}  // namespace
}  // namespace soilcal::testing
