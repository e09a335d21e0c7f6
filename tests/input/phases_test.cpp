// The one routine that writes phases into a test: order, the last phase's
// control flags, the capacity of recorded points and what an earlier
// description left behind.
#include <gtest/gtest.h>

#include <climits>

#include "input/cyclic_tests.hpp"
#include "input/phases.hpp"

namespace soilcal::testing {
namespace {

input::Phase MakePhase(int steps, double time, double eyy, int flagYY) {
  input::Phase p;
  p.loadSteps = steps;
  p.timeIncrement = time;
  p.strain = {0, eyy, 0, 0, 0, 0};
  p.stress = {-10, 0, -10, 0, 0, 0};
  p.flags = {1, flagYY, 1, 1, 1, 1};
  return p;
}

TEST(WritePhases, WritesEveryPhaseInOrderWithTheLastFlagsAndTheCapacity) {
  input::LabTest test;
  input::WritePhases({MakePhase(3, 0.5, -0.01, 0), MakePhase(5, 1.5, -0.02, 0),
                      MakePhase(2, 2.0, 0.0, 1)},
                     test);
  // An earlier, longer description leaves nothing behind.
  input::WritePhases({MakePhase(40, 1.0, -0.05, 0), MakePhase(-3, 1.0, 0.0, 1)}, test);
  ASSERT_EQ(test.nPhases, 2);
  ASSERT_EQ(test.loadSteps.size(), 2u);
  ASSERT_EQ(test.phaseFlags.size(), 2u);
  EXPECT_EQ(test.loadSteps[0], 40);
  EXPECT_EQ(test.loadSteps[1], -3);
  EXPECT_DOUBLE_EQ(test.prescribedStrain[0][1], -0.05);
  EXPECT_DOUBLE_EQ(test.prescribedStress[1][0], -10.0);
  EXPECT_EQ(test.controlFlags[1], 1);  // the last phase's
  EXPECT_EQ(test.phaseFlags[0][1], 0);
  // The initial point and one per load step; a phase without steps adds none.
  EXPECT_EQ(test.capacity, 41);
}

TEST(WritePhases, TheCapacityStopsAtTheLargestCountInsteadOfWrappingAround) {
  input::LabTest test;
  input::WritePhases({MakePhase(INT_MAX / 2 + 10, 1, 0, 0), MakePhase(INT_MAX / 2 + 10, 1, 0, 0)},
                     test);
  EXPECT_EQ(test.capacity, INT_MAX);
}

TEST(WritePhases, ACyclicDescriptionIsWrittenThroughTheSameRoutine) {
  // 2 cycles of 8 steps per half cycle: a quarter (4), three halves (8), a
  // quarter (4); the undrained set of variant 1.
  const input::TestDescription d = input::CyclicTriaxial(100.0, 40.0, 2, 8);
  input::LabTest test;
  input::ApplyDescription(d, 34, test);
  EXPECT_EQ(test.modelNumber, 234);
  ASSERT_EQ(test.nPhases, 5);
  EXPECT_EQ(test.capacity, 1 + 4 + 3 * 8 + 4);
  EXPECT_EQ(test.loadSteps[0], 4);
  EXPECT_DOUBLE_EQ(test.timeIncrement[1], 0.5);
  EXPECT_EQ(test.controlFlags, d.phases.back().flags);
}

}  // namespace
}  // namespace soilcal::testing
