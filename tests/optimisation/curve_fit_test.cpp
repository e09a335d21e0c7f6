#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "optimisation/objective.hpp"
#include "optimisation/simulated_curves.hpp"
#include "test_support.hpp"

namespace soilcal::optimisation {
namespace {

using Points = std::vector<std::pair<double, double>>;

// Recorded point k has strain xx = points[k-1].first (quantity 13) and
// stress xx = points[k-1].second (quantity 19).
labtest::Recording Recording(const Points& points) {
  labtest::Recording rec;
  for (const auto& [x, y] : points) {
    rec.time.push_back(0.0);
    rec.strain.push_back({x, 0, 0, 0, 0, 0});
    rec.stress.push_back({y, 0, 0, 0, 0, 0});
    rec.pw.push_back(0.0);
  }
  rec.capacity = rec.nRecorded = static_cast<int>(points.size());
  return rec;
}

input::LabTest Phases(std::vector<int> loadSteps) {
  input::LabTest t;
  t.nPhases = static_cast<int>(loadSteps.size());
  t.capacity = 1;
  for (int s : loadSteps) t.capacity += s;
  t.loadSteps = std::move(loadSteps);
  return t;
}

// Measured curve (13, 19) with one segment of points per phase.
input::Curve Measured(const std::vector<Points>& segments) {
  input::Curve c;
  c.xCode = 13;
  c.yCode = 19;
  c.multiSegment = segments.size() > 1;
  c.nSegments = static_cast<int>(segments.size());
  for (const auto& seg : segments) {
    c.segmentSizes.push_back(static_cast<int>(seg.size()));
    for (const auto& [x, y] : seg) {
      c.x.push_back(x);
      c.y.push_back(y);
    }
  }
  c.nPoints = static_cast<int>(c.x.size());
  return c;
}

// Simulated curve of `m` for a recording of which nRecorded points count.
input::Curve Simulated(input::LabTest& t, const input::Curve& m, const labtest::Recording& rec,
                       int nRecorded) {
  t.curves = {m};
  std::vector<input::Curve> sim;
  BuildSimulatedCurves(sim, t, rec, nRecorded);
  return sim[0];
}

TEST(SimulatedCurves, InterpolationSearchesOnlyTheRecordedPointsOfThePhase) {
  // One phase, y = x^2 + x + 10 at x = 0..4.
  input::LabTest t = Phases({4});
  const input::Curve m = Measured({{{1.5, 0}, {3, 0}, {4, 0}, {-0.5, 7}, {2.5, 8}}});
  const input::Curve sim = Simulated(t, m, Recording({{0, 10}, {1, 12}, {2, 16}, {3, 22}, {4, 30}}), 5);
  bool out = true;
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 1, sim, 5, out), 14.0);  // halfway 12..16
  EXPECT_FALSE(out);
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 2, sim, 5, out), 22.0);  // node
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 3, sim, 5, out), 30.0);  // last node included
  EXPECT_FALSE(out);
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 4, sim, 5, out), 7.0);  // out: measured y back
  EXPECT_TRUE(out);
  // A run that stopped after 2 steps: points 4 and 5 were never recorded.
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 5, sim, 3, out), 8.0);
  EXPECT_TRUE(out);

  // Unloading (x decreasing) is enclosed in either order.
  const input::Curve back = Simulated(t, m, Recording({{4, 0}, {3, 10}, {2, 20}, {1, 30}, {0, 40}}), 5);
  EXPECT_EQ(InterpolateSimulated(t, m, 1, 1, back, 5, out), 25.0);
  EXPECT_FALSE(out);

  // Two phases of 2 steps (points 1..3 and 4..5, x = y = 0..4): x = 2.5 lies
  // between points 3 and 4, which belong to no single phase.
  input::LabTest two = Phases({2, 2});
  input::Curve gap = Measured({{{2.5, 9}}, {{2.5, 9}, {3.5, 9}}});
  gap.multiSegment = false;
  const input::Curve sim2 = Simulated(two, gap, Recording({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}), 5);
  EXPECT_EQ(InterpolateSimulated(two, gap, 1, 1, sim2, 5, out), 9.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(InterpolateSimulated(two, gap, 2, 2, sim2, 5, out), 9.0);
  EXPECT_TRUE(out);
  EXPECT_EQ(InterpolateSimulated(two, gap, 2, 3, sim2, 5, out), 3.5);
  EXPECT_FALSE(out);
}

TEST(SimulatedCurves, DeviationsCountOnlyPointsInsideTheRangeAndAwayFromZero) {
  // Simulated y = 2x for x = 0..10; measured y = 2.5x deviates by
  // (2.5x - 2x) / 2.5x = 0.2 wherever it lies inside the range.
  Points line;
  for (int k = 0; k <= 10; ++k) line.emplace_back(k, 2.0 * k);
  const labtest::Recording rec = Recording(line);
  auto curve = [](int inside) {
    Points pts;
    for (int k = 1; k <= 10; ++k) pts.emplace_back(k <= inside ? k : 10 + k, 2.5 * (k <= inside ? k : 10 + k));
    return Measured({pts});
  };
  input::LabTest t = Phases({10});
  std::vector<input::Curve> sim;
  t.curves = {curve(5)};
  TestFit fit = FitRecordedTest(t, rec, 11, sim);
  // 5 of 10 inside: still compared, sums divided by nValid = 5, not 10.
  EXPECT_FALSE(fit.smallOverlap);
  EXPECT_NEAR(fit.objective, 0.04, 1e-15);
  EXPECT_NEAR(fit.error, 20.0, 1e-12);
  t.curves = {curve(4)};
  EXPECT_TRUE(FitRecordedTest(t, rec, 11, sim).smallOverlap);

  // A second, exact curve halves the test's figures (mean over curves).
  Points exact;
  for (int k = 1; k <= 10; ++k) exact.emplace_back(k, 2.0 * k);
  t.curves = {curve(5), Measured({exact})};
  fit = FitRecordedTest(t, rec, 11, sim);
  EXPECT_NEAR(fit.objective, 0.02, 1e-15);
  EXPECT_NEAR(fit.error, 10.0, 1e-12);

  // |y| <= 1e-15 counts in nValid (2) but adds nothing; 2e-15 is compared.
  t.curves = {Measured({{{1, 2.5}, {3, 1e-16}}})};
  fit = FitRecordedTest(t, rec, 11, sim);
  EXPECT_NEAR(fit.objective, 0.04 / 2, 1e-15);
  EXPECT_NEAR(fit.error, 0.2 / 2 * 100, 1e-12);
  t.curves = {Measured({{{1, 2.5}, {3, 2e-15}}})};
  EXPECT_GT(FitRecordedTest(t, rec, 11, sim).objective, 1e29);
}

}  // namespace
}  // namespace soilcal::optimisation
