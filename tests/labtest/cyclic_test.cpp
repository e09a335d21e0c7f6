// Cyclic laboratory tests: the native description of cyclic simple shear
// and triaxial tests (time in cycles, a triangle wave of the shear stress
// or the deviator), which tests count as cyclic, and undrained cyclic
// simple shear of the UBC3D sand up to liquefaction.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "labtest/cyclic.hpp"
#include "labtest/ubc3d_sand.hpp"

namespace soilcal::testing {
namespace {

// The stress component `i` and the time at the end of every phase of a
// description, from the initial stress.
struct Wave {
  std::vector<double> stress, time;
};
Wave EndsOfPhases(const input::TestDescription& d, int i) {
  Wave w;
  double s = d.initialStress[static_cast<std::size_t>(i)], t = 0.0;
  for (const input::Phase& p : d.phases) {
    s += p.stress[static_cast<std::size_t>(i)];
    t += p.timeIncrement;
    w.stress.push_back(s);
    w.time.push_back(t);
  }
  return w;
}

TEST(CyclicTests, DescriptionsAreTriangleWavesWithTimeInCycles) {
  // Simple shear: sigma'_v0 100, K0 0.5, amplitude 0.2 x 100, 3 cycles of
  // 2 x 10 steps: quarter, five half cycles, quarter.
  const input::TestDescription dss = input::CyclicDirectSimpleShearAtRatio(100.0, 0.5, 0.2, 3, 10);
  EXPECT_EQ(dss.initialStress, (std::array<double, 6>{-50, -100, -50, 0, 0, 0}));
  ASSERT_EQ(dss.phases.size(), 7u);
  const Wave tau = EndsOfPhases(dss, 3);
  const std::vector<double> peaks{20, -20, 20, -20, 20, -20, 0};
  const std::vector<double> times{0.25, 0.75, 1.25, 1.75, 2.25, 2.75, 3.0};
  for (std::size_t p = 0; p < 7; ++p) {
    EXPECT_NEAR(tau.stress[p], peaks[p], 1e-12) << p;
    EXPECT_NEAR(tau.time[p], times[p], 1e-12) << p;
    // Vertical total stress held, no horizontal strain.
    EXPECT_EQ(dss.phases[p].flags, (std::array<int, 6>{0, 1, 0, 1, 1, 1})) << p;
    EXPECT_EQ(dss.phases[p].stress[1], 0.0);
    EXPECT_EQ(dss.phases[p].loadSteps, p == 0 || p == 6 ? 5 : 10) << p;
  }
  // Triaxial: cell 100, deviator amplitude 40, compression first.
  const input::TestDescription tx = input::CyclicTriaxial(100.0, 40.0, 2, 7);
  ASSERT_EQ(tx.phases.size(), 5u);
  const Wave axial = EndsOfPhases(tx, 1);
  const std::vector<double> axialEnds{-140, -60, -140, -60, -100};
  for (std::size_t p = 0; p < 5; ++p) {
    EXPECT_NEAR(axial.stress[p], axialEnds[p], 1e-12) << p;
    EXPECT_EQ(tx.phases[p].stress[0], 0.0);
    EXPECT_EQ(tx.phases[p].loadSteps, p == 0 || p == 4 ? 3 : 7) << p;
  }
  EXPECT_NEAR(axial.time.back(), 2.0, 1e-12);
  // Into a lab-test record: undrained model number, capacity 1 + steps.
  input::LabTest record;
  input::ApplyDescription(tx, 34, record);
  EXPECT_EQ(record.modelNumber, 234);
  EXPECT_EQ(record.nPhases, 5);
  EXPECT_EQ(record.capacity, 1 + 3 + 3 * 7 + 3);
  EXPECT_EQ(record.controlFlags, tx.phases.back().flags);
}

TEST(CyclicTests, OnlyRepeatedReversalsOfAPrescribedStressMakeATestCyclic) {
  EXPECT_TRUE(labtest::IsCyclicTest(CyclicTest(input::CyclicTriaxial(100.0, 40.0, 1, 4))));
  EXPECT_TRUE(labtest::IsCyclicTest(CyclicTest(input::CyclicDirectSimpleShear(100, 0.5, 10, 1, 4))));
  // An oedometer loaded and unloaded once, a monotonic triaxial test and a
  // strain-controlled back and forth are not.
  const Phase load{10, {}, {0, -300, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
  const Phase unload{10, {}, {0, 200, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}};
  EXPECT_FALSE(labtest::IsCyclicTest(MakeTest(2, kIsotropic100, {load, unload})));
  EXPECT_FALSE(labtest::IsCyclicTest(TriaxialCompression(2, -0.05, 10)));
  const Phase there{10, {0, -0.01, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase back{10, {0, 0.01, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  EXPECT_FALSE(labtest::IsCyclicTest(MakeTest(2, kIsotropic100, {there, back, there, back})));
  // A test that is not cyclic runs to its end however far p' falls:
  // isotropic unloading of a Mohr-Coulomb sand to 2 % of its start.
  const Phase relieve{20, {}, {98, 98, 98, 0, 0, 0}, {1, 1, 1, 1, 1, 1}};
  const RunOutcome out = Simulate(*MakeJob(2), MakeTest(2, kIsotropic100, {relieve}));
  EXPECT_EQ(out.run.status, 0);
  EXPECT_EQ(out.run.nRecorded, 21);
}

// Excess pore pressure ratio du / sigma'_v0 of every recorded point and
// the cycle (time) where it first reaches a level.
struct PorePressureHistory {
  std::vector<double> ru, time;
  double liquefied = 1e9;  // cycle of liquefaction reported by the run
  double CyclesTo(double level) const {
    for (std::size_t k = 0; k < ru.size(); ++k) {
      if (ru[k] >= level) return time[k];
    }
    return 1e9;
  }
};

PorePressureHistory UndrainedSimpleShear(double csr, double fDens, int cycles) {
  UbcSand sand;
  sand.fDens = fDens;
  auto job = UbcSandJob(234, sand);
  const CyclicOutcome out = CyclicSimpleShear(*job, 0.5, csr, cycles, 20);
  EXPECT_EQ(out.status, 0);
  PorePressureHistory h;
  h.liquefied = out.cycles;
  for (int k = 1; k <= out.run.nRecorded; ++k) {
    const input::RecordedPoint pt = out.ctx->rec.Point(k);
    h.ru.push_back(-pt.pw / 100.0);  // pore pressure is tension positive
    h.time.push_back(pt.time);
  }
  // The test goes on through liquefaction to its last cycle.
  EXPECT_EQ(out.run.nRecorded, 1 + 40 * cycles);
  return h;
}

TEST(CyclicTests, UndrainedSimpleShearLiquefiesFasterAtHigherStressRatiosAndLaterWithDensification) {
  // Three cyclic stress ratios on the medium dense sand (sigma'_v0 100 kPa,
  // K0 0.5), 20 steps per half cycle, at most 30 cycles.
  double previous = 1e9;
  for (const double csr : {0.15, 0.2, 0.25}) {
    SCOPED_TRACE(csr);
    const PorePressureHistory h = UndrainedSimpleShear(csr, 1.0, 30);
    // The pore pressure ratio at the end of every cycle (tau back to zero)
    // grows cycle by cycle until the sample liquefies.
    double last = 0.0;
    for (std::size_t k = 0; k < h.time.size() && h.time[k] < h.liquefied; ++k) {
      if (std::fabs(h.time[k] - std::round(h.time[k])) > 1e-9 || h.time[k] < 0.5) continue;
      EXPECT_GT(h.ru[k], last) << "cycle " << h.time[k];
      last = h.ru[k];
    }
    EXPECT_LT(h.liquefied, 30.0);
    EXPECT_LT(h.liquefied, previous);
    previous = h.liquefied;
  }
  // Twice the densification factor at the middle ratio: later.
  const double n1 = UndrainedSimpleShear(0.2, 1.0, 30).CyclesTo(0.9);
  const double n2 = UndrainedSimpleShear(0.2, 2.0, 30).CyclesTo(0.9);
  EXPECT_GT(n2, 1.5 * n1);
}

TEST(CyclicTests, UndrainedCyclicTriaxialBuildsPorePressureToLiquefaction) {
  // Cell pressure 100 kPa, deviator amplitude 50 kPa (cyclic stress ratio
  // q / (2 sigma'_3c) = 0.25).
  auto job = UbcSandJob(234);
  const input::LabTest test = CyclicTest(input::CyclicTriaxial(100.0, 50.0, 30, 20));
  const RunOutcome out = Simulate(*job, test);
  ASSERT_EQ(out.run.status, 0) << labtest::DescribeRun(out.run, false);
  EXPECT_TRUE(out.run.liquefied);
  const input::RecordedPoint end = out.ctx->rec.Point(out.run.nRecorded);
  EXPECT_GT(-end.pw / 100.0, 0.9);
  // Undrained: the volume stays (the water's stiffness, nu_u 0.495).
  EXPECT_LT(std::fabs(VolumetricStrain(end.strain)), 1e-3);
}

}  // namespace
}  // namespace soilcal::testing
