// Liquefaction of the UBC3D sand (model 34) in undrained cyclic simple
// shear as soil mechanics, not as a step the solver gave up: the test runs
// through cyclic mobility to its last cycle, liquefaction is read by r_u
// 0.98 and by 3 % single-amplitude shear strain, the cycles to it hardly
// depend on the load steps, the curve of cycles against CSR falls
// monotonically, and the post-liquefaction factor f_Epost sets how fast
// the shear strain grows once the sand has liquefied.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "labtest/ubc3d_sand.hpp"

namespace soilcal::testing {
namespace {

// Maximum shear strain of simple shear without lateral strain (eps_xx =
// eps_zz = 0): the principal strains of the xy plane differ by
// hypot(eps_yy, gamma_xy), and the third (0) lies between them.
double ShearStrainOf(const input::RecordedPoint& p) { return std::hypot(p.strain[1], p.strain[3]); }
double RuOf(const input::RecordedPoint& p) { return -p.pw / 100.0; }

TEST(Liquefaction, ByPorePressureAndByStrainBothReportedAndTheTestGoesOn) {
  // A loose sand ((N1)60 5, the published correlations), K0 1, CSR 0.08,
  // 15 cycles: the prescribed iteration alone stalls in cyclic mobility.
  const auto job = CorrelatedSandJob(5.0);
  const CyclicOutcome out = CyclicSimpleShear(*job, 1.0, 0.08, 15, 20);
  ASSERT_EQ(out.status, 0) << labtest::DescribeRun(out.run, false);
  EXPECT_EQ(out.run.nRecorded, 1 + 15 * 40);  // every step of every cycle
  EXPECT_GT(out.run.subSteppedSteps, 0);
  const labtest::LiquefactionWatch& w = out.run.liquefaction;
  ASSERT_GT(w.pointByRu, 1);
  ASSERT_GT(w.pointByStrain, 1);
  // Each reported point is the first recorded one that meets its
  // criterion, read back from the recorded pore pressure and strains.
  const auto& rec = out.ctx->rec;
  EXPECT_GE(RuOf(rec.Point(w.pointByRu)), 0.98);
  EXPECT_LT(RuOf(rec.Point(w.pointByRu - 1)), 0.98);
  EXPECT_GE(ShearStrainOf(rec.Point(w.pointByStrain)), 0.03 - 1e-12);
  EXPECT_LT(ShearStrainOf(rec.Point(w.pointByStrain - 1)), 0.03);
  for (int k = 1; k < std::min(w.pointByRu, w.pointByStrain); ++k) {
    EXPECT_LT(RuOf(rec.Point(k)), 0.98) << k;
  }
  EXPECT_NEAR(w.timeByRu, rec.Point(w.pointByRu).time, 1e-12);
  EXPECT_EQ(out.cycles, std::min(w.timeByRu, w.timeByStrain));
  // Undrained throughout: the volume is kept by the pore water.
  EXPECT_LT(std::fabs(VolumetricStrain(rec.Point(out.run.nRecorded).strain)), 1e-3);
  // Asked to stop: the same record up to the first criterion, then nothing.
  const CyclicOutcome stop =
      CyclicSimpleShear(*job, 1.0, 0.08, 15, 20, labtest::StepSolver::kPrescribed, true);
  ASSERT_EQ(stop.status, 0);
  EXPECT_TRUE(stop.run.stoppedAtLiquefaction);
  ASSERT_EQ(stop.run.nRecorded, w.Point());
  EXPECT_EQ(stop.ctx->rec.Point(w.Point()).stress, rec.Point(w.Point()).stress);
}

TEST(Liquefaction, CyclesToLiquefactionHardlyDependOnTheLoadSteps) {
  // 20 and 80 steps per half cycle: within 10 % or half a cycle.
  struct Case {
    double n160, k0, csr;
  };
  for (const Case c : {Case{5, 1.0, 0.08}, Case{8, 1.0, 0.1}, Case{8, 0.5, 0.12}}) {
    SCOPED_TRACE(::testing::Message() << c.n160 << " " << c.k0 << " " << c.csr);
    const auto job = CorrelatedSandJob(c.n160);
    const CyclicOutcome coarse =
        CyclicSimpleShear(*job, c.k0, c.csr, 30, 20, labtest::StepSolver::kPrescribed, true);
    const CyclicOutcome fine =
        CyclicSimpleShear(*job, c.k0, c.csr, 30, 80, labtest::StepSolver::kPrescribed, true);
    ASSERT_EQ(coarse.status, 0);
    ASSERT_EQ(fine.status, 0);
    ASSERT_LT(fine.cycles, 30.0);
    EXPECT_LE(std::fabs(coarse.cycles - fine.cycles), std::max(0.1 * fine.cycles, 0.5));
  }
}

TEST(Liquefaction, CyclesFallMonotonicallyAsTheStressRatioRises) {
  // (N1)60 8, K0 1, 20 steps per half cycle, at most 40 cycles; every test
  // completes, and a higher CSR never takes more cycles.
  const auto job = CorrelatedSandJob(8.0);
  double previous = 1e9;
  int liquefied = 0;
  for (const double csr : {0.08, 0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4}) {
    SCOPED_TRACE(csr);
    const CyclicOutcome o =
        CyclicSimpleShear(*job, 1.0, csr, 40, 20, labtest::StepSolver::kPrescribed, true);
    ASSERT_EQ(o.status, 0) << labtest::DescribeRun(o.run, false);
    EXPECT_LE(o.cycles, previous);
    if (o.cycles < 1e8) ++liquefied;
    previous = o.cycles;
  }
  EXPECT_GE(liquefied, 6);
}

}  // namespace
}  // namespace soilcal::testing
