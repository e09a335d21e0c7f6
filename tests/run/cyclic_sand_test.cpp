// Cyclic tests through the programs: a cyclic simple shear test file that
// liquefies runs to a completed test whose table stops there, and the
// shipped cyclic sand example fits its r_u curves exactly at the known
// parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

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

TEST(CyclicSand, LiquefiedTestEndsCompletedWithItsTableStoppingThere) {
  // Cyclic stress ratio 0.25 for 20 cycles: the sand liquefies long before.
  const input::TestDescription d = input::CyclicDirectSimpleShearAtRatio(100, 0.5, 0.25, 20, 20);
  TempDir dir;
  dir.Write("CDSS.VLT", MakeLabTestFile(CyclicFile(d, Sand(300))));
  const LabTestOutput out = RunLabTestProgram(dir.path(), "CDSS.VLT");
  EXPECT_EQ(out.exitStatus, 0) << out.err;
  EXPECT_NE(out.err.find("liquefied at point"), std::string::npos) << out.err;
  ASSERT_GT(out.points.size(), 20u);
  EXPECT_LT(out.points.size(), 1u + 10u + 39u * 20u + 10u);
  // The last point: p' at 5 % of its start or below, r_u = -pw / 100 near 1.
  const RecordedPoint& last = out.points.back();
  EXPECT_LE(-last.MeanEffective(), 0.05 * 200.0 / 3.0 + 1e-6);
  EXPECT_GT(-last.pw / 100.0, 0.9);
  EXPECT_LT(last.time, 20.0);
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
