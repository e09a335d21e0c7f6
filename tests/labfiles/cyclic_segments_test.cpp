// The readings of a cyclic test from a file on the half cycles of its load
// wave: each half cycle after the first starts with an anchor at its first
// compared recorded point, interpolated between the readings, and holds the
// readings up to its end; readings before the compared part are counted.
#include <gtest/gtest.h>

#include "input/cyclic_tests.hpp"
#include "jobfile/cyclic_segments.hpp"

namespace soilcal::testing {
namespace {

using Points = std::vector<std::pair<double, double>>;

// Readings at a phase's end are placed 2e-9 cycles inside it.
void ExpectPoints(const Points& actual, const Points& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].first, expected[i].first, 3e-9) << i;
    EXPECT_NEAR(actual[i].second, expected[i].second, 1e-14) << i;
  }
}

// Two cycles of 8 steps per half cycle (4 per quarter): recorded every
// 1/16 cycle. The compared part of phase p starts p − 1 recorded points
// after the phase: 0, 0.3125, 0.875, 1.4375 and 2.0 (the last quarter's
// only point, which compares nothing).
TEST(CyclicSegments, ReadingsGoToTheComparedPartOfTheirHalfCycleAfterAnAnchor) {
  const auto phases = input::CyclicTriaxial(100.0, 20.0, 2, 8).phases;
  std::vector<double> xs, ys;
  for (int k = 0; k <= 16; ++k) {
    xs.push_back(k / 8.0);
    ys.push_back(10.0 * k / 8.0);  // linear, so an interpolated anchor is exact
  }
  const jobfile::CyclicSegments s = jobfile::PlaceCyclicReadings(phases, xs, ys, {});
  ASSERT_EQ(s.segments.size(), 5u);
  ExpectPoints(s.segments[0], (Points{{0, 0}, {0.125, 1.25}, {0.25, 2.5}}));
  ExpectPoints(s.segments[1], (Points{{0.3125, 3.125}, {0.375, 3.75}, {0.5, 5}, {0.625, 6.25}, {0.75, 7.5}}));
  ExpectPoints(s.segments[2], (Points{{0.875, 8.75}, {1, 10}, {1.125, 11.25}, {1.25, 12.5}}));
  ExpectPoints(s.segments[3], (Points{{1.4375, 14.375}, {1.5, 15}, {1.625, 16.25}, {1.75, 17.5}}));
  EXPECT_TRUE(s.segments[4].empty());
  EXPECT_EQ(s.readingsLeftOut, 3);  // 1.375, 1.875 and 2.0

  // One reading per whole cycle, beginning at cycle 1: the anchor before it
  // is interpolated from the start of the cycling (0 at cycle 0).
  const auto longer = input::CyclicTriaxial(100.0, 20.0, 3, jobfile::CyclicStepsFor(3, 4)).phases;
  const jobfile::CyclicSegments once =
      jobfile::PlaceCyclicReadings(longer, {1, 2, 3}, {0.2, 0.5, 0.6}, {});
  // 16 steps per half cycle: phase 3 compared from 0.75 + 2/32, phase 5
  // from 1.75 + 4/32, phase 7 (the last quarter) from 2.75 + 6/32.
  EXPECT_EQ(jobfile::CyclicStepsFor(3, 4), 16);
  ExpectPoints(once.segments[2], (Points{{0.8125, 0.8125 * 0.2}, {1, 0.2}}));
  ExpectPoints(once.segments[4], (Points{{1.875, 0.2 + 0.875 * 0.3}, {2, 0.5}}));
  EXPECT_NEAR(once.segments[6].front().second, 0.5 + 0.9375 * 0.1, 1e-15);
  EXPECT_NEAR(once.segments[6].back().first, 3.0, 3e-9);
  EXPECT_EQ(once.segments[6].back().second, 0.6);
  EXPECT_EQ(once.readingsLeftOut, 0);

  // x_range keeps readings and anchors inside it only.
  const jobfile::CyclicSegments cut = jobfile::PlaceCyclicReadings(phases, xs, ys, {0.0, 1.0});
  ExpectPoints(cut.segments[2], (Points{{0.875, 8.75}, {1, 10}}));
  EXPECT_TRUE(cut.segments[3].empty());
  EXPECT_EQ(cut.readingsLeftOut, 0);
}

}  // namespace
}  // namespace soilcal::testing
