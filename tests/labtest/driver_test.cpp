// The test driver: phases, failed steps and independence of simulation
// contexts (the soilcal-labtest program is run by the acceptance tests).
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "labtest/lab_records.hpp"

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

}  // namespace
}  // namespace soilcal::testing
