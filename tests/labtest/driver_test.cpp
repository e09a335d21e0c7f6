// The test driver: phases, failed steps and independence of simulation
// contexts (the soilcal-labtest program is run by the acceptance tests); and
// the pieces of its material-point step: the stiffness of ELEMBoth, the
// Gauss-Jordan inversion with its pivot guard, the equilibrium iteration and
// the water-pressure cap.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "labtest/elem_both.hpp"
#include "labtest/lab_records.hpp"
#include "labtest/linalg.hpp"
#include "labtest/stress_update.hpp"
#include "services/errors.hpp"

namespace soilcal::testing {
namespace {

TEST(LabTestDriver, UnbearableStressLoadFailsQuicklyAndKeepsTheAcceptedPoints) {
  const SoilParams soil;
  auto job = MakeJob(102, soil);
  // Phase 1: isotropic loading to -150 in 5 steps. Phase 2: axial stress
  // -450 in 10 steps, but at sigma3' = 150 the soil bears only
  // q_f = 2 (5 cos 30 + 150 sin 30)/(1 - sin 30) = 317.3: steps 1..7
  // (q = 315) are elastic, step 8 (q = 360) cannot reach its target.
  Phase iso{5, {}, {-50, -50, -50, 0, 0, 0}, {1, 1, 1, 1, 1, 1}};
  Phase axial{10, {}, {0, -450, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1}};
  const int maxIterations = 200;
  const input::LabTest test = MakeTest(102, kIsotropic100, {iso, axial}, 1e-7, maxIterations);
  const RunOutcome out = Simulate(*job, test);
  EXPECT_EQ(out.run.status, 3);
  ASSERT_EQ(out.run.nRecorded, 1 + 5 + 7);
  // Elastic steps converge in the two obligatory iterations; the failed
  // step stops at the iteration limit.
  EXPECT_LE(out.ctx->totalIterations, 2 * 12 + maxIterations);

  const labtest::Recording& rec = out.ctx->rec;
  const input::RecordedPoint endIso = rec.Point(6);
  const double K = 2.0 * soil.G * (1.0 + soil.nu) / (3.0 * (1.0 - 2.0 * soil.nu));
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(endIso.stress[i], -150.0, 1e-6);
    EXPECT_NEAR(endIso.strain[i], -50.0 / (3.0 * K), 1e-9);  // eps_v = dp / K
  }
  const input::RecordedPoint last = rec.Point(13);
  EXPECT_NEAR(last.stress[1], -465.0, 1e-6);
  EXPECT_NEAR(last.stress[0], -150.0, 1e-6);
  for (int k = 1; k <= 13; ++k) {
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(std::isfinite(rec.Point(k).strain[i]));
  }
}

TEST(LabTestDriver, StressPrescribedAfterStrainPrescribedStartsFromTheReachedStress) {
  auto job = MakeJob(101);
  // Phase 1 compresses axially by strain; phase 2 holds the axial stress
  // (zero stress increment): it must stay where phase 1 left it.
  Phase compress{4, {0, -2e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  Phase hold{2, {}, {}, {1, 1, 1, 1, 1, 1}};
  const RunOutcome out = Simulate(*job, MakeTest(101, kIsotropic100, {compress, hold}));
  ASSERT_EQ(out.run.status, 0);
  ASSERT_EQ(out.run.nRecorded, 7);
  const double E = 2.0 * 10000.0 * 1.3;
  EXPECT_NEAR(out.ctx->rec.Point(5).stress[1], -100.0 - E * 2e-3, 1e-6);
  EXPECT_NEAR(out.ctx->rec.Point(7).stress[1], out.ctx->rec.Point(5).stress[1], 1e-6);
  EXPECT_NEAR(out.ctx->rec.Point(7).strain[1], -2e-3, 1e-12);
}

bool SameRecording(const labtest::Recording& a, const labtest::Recording& b) {
  return a.nRecorded == b.nRecorded && a.time == b.time && a.strain == b.strain &&
         a.stress == b.stress && a.pw == b.pw;
}

TEST(LabTestDriver, TwoContextsOnTwoThreadsGiveTheRecordsEachGivesAlone) {
  auto drainedJob = MakeJob(102);
  auto undrainedJob = MakeJob(201);
  const input::LabTest drained = TriaxialCompression(102, -0.02, 100);
  const input::LabTest undrained = TriaxialCompression(201, -0.002, 50);
  const RunOutcome aloneA = Simulate(*drainedJob, drained);
  const RunOutcome aloneB = Simulate(*undrainedJob, undrained);
  ASSERT_EQ(aloneA.run.status, 0);
  ASSERT_EQ(aloneB.run.status, 0);

  for (int round = 0; round < 3; ++round) {
    RunOutcome a, b;
    std::thread ta([&] { a = Simulate(*drainedJob, drained); });
    std::thread tb([&] { b = Simulate(*undrainedJob, undrained); });
    ta.join();
    tb.join();
    EXPECT_TRUE(SameRecording(a.ctx->rec, aloneA.ctx->rec)) << "round " << round;
    EXPECT_TRUE(SameRecording(b.ctx->rec, aloneB.ctx->rec)) << "round " << round;
  }
}

labtest::SimulationContext ContextWithSet(int modelCode, double G, double nu, double nuU) {
  labtest::SimulationContext ctx;
  ctx.set.modelCode = modelCode;
  ctx.set.prop[2] = nu;
  ctx.set.prop[28] = nuU;
  ctx.point.stVar0[models::kPointMatStatePos] = G;  // PointMatState entry 0
  return ctx;
}

TEST(ELEMBoth, DrainedIsElasticUndrainedAddsWaterStiffnessInvalidModelStops) {
  const double G = 5000.0, nu = 0.25;
  Mat6 K{};
  auto drained = ContextWithSet(102, G, nu, 0.45);
  labtest::ELEMBoth(drained, labtest::kIterationMatrix, K);
  EXPECT_EQ(drained.set.BUW, 0.0);
  EXPECT_EQ(K, IsotropicElasticMatrix(G, nu));

  // BUW = K_u - K' = (2/3) G ((1 + nu_u)/(1 - 2 nu_u) - (1 + nu)/(1 - 2 nu)):
  // with nu_u 0.45: (2/3) 5000 (14.5 - 2.5) = 40000, added to the nine
  // normal-normal entries only; the set keeps the drained matrix for MatSig.
  auto undrained = ContextWithSet(202, G, nu, 0.45);
  labtest::ELEMBoth(undrained, labtest::kIterationMatrix, K);
  EXPECT_NEAR(undrained.set.BUW, 40000.0, 1e-9 * 40000.0);
  const Mat6 D = IsotropicElasticMatrix(G, nu);
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) {
      const double water = (i < 3 && j < 3) ? 40000.0 : 0.0;
      EXPECT_NEAR(K[i][j], D[i][j] + water, 1e-9 * 40000.0) << i << "," << j;
    }
  }
  EXPECT_EQ(undrained.set.D, D);

  // nu_u not above nu falls back to 0.495: (2/3) 5000 (149.5 - 2.5) = 490000.
  auto fallback = ContextWithSet(202, G, nu, 0.2);
  labtest::ELEMBoth(fallback, labtest::kIterationMatrix, K);
  EXPECT_NEAR(fallback.set.BUW, 490000.0, 1e-9 * 490000.0);

  for (int code : {103, 110, 137, 100}) {
    auto invalid = ContextWithSet(code, G, nu, 0.45);
    try {
      labtest::ELEMBoth(invalid, labtest::kIterationMatrix, K);
      ADD_FAILURE() << "model code " << code << " was accepted";
    } catch (const services::KernelAbort& e) {
      EXPECT_EQ(e.message, " Invalid model in ELEMBoth ");
    }
  }
}

TEST(InvertMatrix, InvertsWithPivotingAndGuardsAZeroPivot) {
  // A tridiagonal matrix with a zero first diagonal entry: only row
  // exchanges make it invertible. Check A * Ainv = I.
  Mat6 a{};
  for (int i = 0; i < 6; ++i) {
    a[i][i] = i == 0 ? 0.0 : 4.0;
    if (i > 0) a[i][i - 1] = 1.0;
    if (i < 5) a[i][i + 1] = 1.0;
  }
  Mat6 inv{};
  EXPECT_EQ(labtest::InvertMatrix(a, inv), 0);
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) {
      double s = 0.0;
      for (int k = 0; k < 6; ++k) s += a[i][k] * inv[k][j];
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12);
    }
  }

  // Rows 1 and 2 equal: the second pivot is exactly 0 and becomes +1e-30
  // (2 - 2 * 1 after eliminating row 0), so the inverse is huge but finite.
  Mat6 singular{};
  for (int i = 0; i < 6; ++i) singular[i][i] = 2.0;
  singular[0][1] = 2.0;
  singular[1][0] = 2.0;
  EXPECT_EQ(labtest::InvertMatrix(singular, inv), 1);
  EXPECT_DOUBLE_EQ(inv[1][1], 1e30);
  for (const auto& row : inv)
    for (double v : row) EXPECT_TRUE(std::isfinite(v));
}

TEST(MaterialPointStep, AllStrainPrescribedTakesTwoIterationsAndGivesTheElasticStress) {
  const SoilParams soil;
  auto job = MakeJob(101, soil);
  // Phase 1 has no load steps and applies nothing; phase 2 applies the
  // strain in 4 steps, every component prescribed.
  Phase nothing{0, {-1, -1, -1, 0, 0, 0}, {}, {0, 0, 0, 0, 0, 0}};
  Phase strain{4, {-1e-3, 0, 5e-4, 0, 2e-3, 0}, {}, {0, 0, 0, 0, 0, 0}};
  const RunOutcome out = Simulate(*job, MakeTest(101, kIsotropic100, {nothing, strain}, 1e-7, 1));
  ASSERT_EQ(out.run.status, 0);
  ASSERT_EQ(out.run.nRecorded, 5);
  // At least two iterations per step, even with a maximum of 1.
  EXPECT_EQ(out.ctx->totalIterations, 8);

  const Mat6 D = IsotropicElasticMatrix(soil.G, soil.nu);
  const Vec6 eps{-1e-3, 0, 5e-4, 0, 2e-3, 0};
  const Vec6 dSig = MatVec(D, eps);
  const input::RecordedPoint last = out.ctx->rec.Point(5);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(last.strain[i], eps[i], 1e-15) << i;
    EXPECT_NEAR(last.stress[i], kIsotropic100[i] + dSig[i], 1e-9) << i;
  }
  // Point 1 is the initial state.
  EXPECT_EQ(out.ctx->rec.Point(1).stress, kIsotropic100);

  // Phases without load steps record only the initial point.
  const RunOutcome none = Simulate(*job, MakeTest(101, kIsotropic100, {nothing, nothing}));
  EXPECT_EQ(none.run.status, 0);
  EXPECT_EQ(none.run.nRecorded, 0);
  EXPECT_EQ(none.ctx->rec.Point(1).stress, kIsotropic100);
}

TEST(MaterialPointStep, SingularStiffnessHitsThePivotGuardWithoutNaN) {
  // Shear modulus 0: the stiffness is the zero matrix and every pivot is
  // replaced. A load of zero still gives a zero strain increment.
  SoilParams soil;
  soil.G = 0.0;
  auto job = MakeJob(101, soil);
  const RunOutcome out = Simulate(*job, MakeTest(101, kIsotropic100, {Phase{3}}));
  EXPECT_EQ(out.run.status, 0);
  ASSERT_EQ(out.run.nRecorded, 4);
  for (int k = 1; k <= 4; ++k) {
    const input::RecordedPoint p = out.ctx->rec.Point(k);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(p.strain[i], 0.0);
      EXPECT_EQ(p.stress[i], kIsotropic100[i]);
    }
  }
}

TEST(CapWaterPressure, LowersOnlyAboveTheCapAndCountsResets) {
  // {cap, p before, p after}: offset f h = 2 * 5 = 10, so 45 + 10 > 50 gives
  // p = 50 - 10; 30 stays; the default cap 1e30 means no cap at all.
  const std::array<double, 3> cases[] = {
      {50.0, 45.0, 40.0}, {50.0, 30.0, 30.0}, {1e30, 1e35, 1e35}};
  int counter = 0;
  for (const auto& [cap, before, after] : cases) {
    double p = before;
    labtest::CapWaterPressure(counter, cap, 2.0, p, 5.0);
    EXPECT_EQ(p, after) << before;
    EXPECT_EQ(counter, 1) << before;  // only the first one was reset
  }
}

}  // namespace
}  // namespace soilcal::testing
