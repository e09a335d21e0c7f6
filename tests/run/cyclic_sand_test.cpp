// Cyclic tests through the programs: a cyclic simple shear test file that
// liquefies runs to a completed test whose table stops there, and the
// shipped cyclic sand example fits its r_u curves exactly at the known
// parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "acceptance_support.hpp"
#include "input/cyclic_tests.hpp"

namespace soilcal::testing {
namespace {

// The medium dense sand of examples/cyclic_sand with K_G^p `kgp`.
std::array<double, 201> Sand(double kgp) {
  return ParamSlots({{20, 0.4}, {31, 1000}, {32, 700}, {33, kgp}, {34, 0.5}, {35, 100},
                     {36, 0.5}, {37, 0.4}, {38, 33}, {39, 36}, {40, 0.8}, {41, 1}, {42, 1},
                     {43, 8}, {103, 1}});
}

LabTestFileDesc CyclicFile(const input::TestDescription& d, const std::array<double, 201>& p) {
  LabTestFileDesc f;
  f.version = 6;
  f.baseModel = 34;
  f.params = p;
  f.variant = d.modelVariant;
  f.tolerance = 0.0025;
  f.initialStress = d.initialStress;
  for (const input::Phase& ph : d.phases) {
    f.phases.push_back({ph.loadSteps, ph.timeIncrement, ph.strain, ph.stress, ph.flags});
  }
  return f;
}

TEST(CyclicSand, LiquefiedTestRunsToItsLastCycleOrStopsThereWhenAsked) {
  // Cyclic stress ratio 0.25 for 20 cycles: the sand liquefies long before.
  const input::TestDescription d = input::CyclicDirectSimpleShearAtRatio(100, 0.5, 0.25, 20, 20);
  TempDir dir;
  dir.Write("CDSS.VLT", MakeLabTestFile(CyclicFile(d, Sand(300))));
  const std::size_t all = 1u + 10u + 39u * 20u + 10u;
  // By default the test goes on through cyclic mobility to its last cycle
  // and says when it liquefied.
  const LabTestOutput full = RunLabTestProgram(dir.path(), "CDSS.VLT");
  EXPECT_EQ(full.exitStatus, 0) << full.err;
  EXPECT_NE(full.err.find("liquefied at point"), std::string::npos) << full.err;
  EXPECT_NE(full.err.find("went on to its last step"), std::string::npos) << full.err;
  ASSERT_EQ(full.points.size(), all);
  EXPECT_NEAR(full.points.back().time, 20.0, 1e-9);
  // Asked to stop: the table ends with the load step in which r_u reached
  // 0.98 or the shear strain 3 % (the lowest effective stress of a cycle
  // may lie between two recorded points: the step is followed in
  // sub-steps there).
  const LabTestOutput stop = RunLabTestProgram(dir.path(), "CDSS.VLT", {"--stop-at-liquefaction"});
  EXPECT_EQ(stop.exitStatus, 0) << stop.err;
  ASSERT_GT(stop.points.size(), 20u);
  ASSERT_LT(stop.points.size(), all);
  const RecordedPoint& last = stop.points.back();
  const RecordedPoint& before = stop.points[stop.points.size() - 2];
  // Maximum shear strain of simple shear without lateral strain.
  auto gamma = [](const RecordedPoint& p) { return std::hypot(p.eps[1], p.eps[3]); };
  EXPECT_FALSE(-before.pw / 100.0 >= 0.98 || gamma(before) >= 0.03);
  const std::size_t at = stop.err.find("liquefied at point");
  ASSERT_NE(at, std::string::npos) << stop.err;
  const std::size_t cycle = stop.err.find("cycle ", at);
  ASSERT_NE(cycle, std::string::npos) << stop.err;
  const double liquefied = std::stod(stop.err.substr(cycle + 6));
  EXPECT_GT(liquefied, before.time) << stop.err;
  EXPECT_LE(liquefied, last.time + 1e-3) << stop.err;
  // The step that met a criterion ends near it (r_u is watched within the
  // step as well, strain grows through a half cycle).
  EXPECT_TRUE(-last.pw / 100.0 >= 0.95 || gamma(last) >= 0.03)
      << -last.pw / 100.0 << " " << gamma(last);
  // The same points as the full run up to there.
  const RecordedPoint& same = full.points[stop.points.size() - 1];
  EXPECT_EQ(same.sig, last.sig);
  EXPECT_NE(stop.err.find("stopped there, as asked"), std::string::npos) << stop.err;
  // --solver=fast: the same test to its end, each point within 2 % of the
  // vertical stress of the prescribed run's (the two iterations meet the
  // same tolerance in every step; cyclic mobility amplifies the rest).
  const LabTestOutput fast = RunLabTestProgram(dir.path(), "CDSS.VLT", {"--solver=fast"});
  EXPECT_EQ(fast.exitStatus, 0) << fast.err;
  ASSERT_EQ(fast.points.size(), all);
  for (std::size_t k = 0; k < 200; ++k) {
    EXPECT_NEAR(fast.points[k].sig[3], full.points[k].sig[3], 2.0) << k;
    EXPECT_NEAR(fast.points[k].pw, full.points[k].pw, 2.0) << k;
  }
  // An unknown solver is refused with the usage.
  const LabTestOutput bad = RunLabTestProgram(dir.path(), "CDSS.VLT", {"--solver=quick"});
  EXPECT_EQ(bad.exitStatus, 1);
  EXPECT_NE(bad.err.find("--solver=fast|prescribed"), std::string::npos) << bad.err;
}

TEST(CyclicSand, ExampleFitsItsPorePressureCurvesAtTheKnownParameters) {
  // Bounds pinned on K_G^p 150 and f_dens 1, the default search: every
  // point of both r_u curves is met (the curves are the program's own, so
  // only the rounding of their 17 digits remains).
  TempDir job;
  CopyExample("cyclic_sand", job.path());
  std::filesystem::remove(job.path() / "thorough_search");
  std::vector<std::string> lines = SplitLines(job.Read("OPTIM.TXT"));
  ASSERT_EQ(lines.at(3), "33");
  lines.at(5) = "150 150";
  lines.at(6) = "1 1";
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  job.Write("OPTIM.TXT", text);
  const ProcessRun run = RunSoilcal((job.path() / "OPTIM.TXT").string(), job.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const ResultFile result = ParseResultFile(job.Read("Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 0.0);
  EXPECT_LT(KeyValue(result, "Objective info", "Relative Error"), 1e-6);
  // The simulated curve file has the time (cycles) and -pw columns.
  const auto curve = ReadSimulatedCurve(job.path() / "RU_CDSS25.TXT_calculated").points;
  ASSERT_FALSE(curve.empty());
  EXPECT_NEAR(curve.back().first, 4.0, 1e-9);
  EXPECT_GT(curve.back().second, 85.0);  // r_u above 0.85 after four cycles
}

}  // namespace
}  // namespace soilcal::testing
