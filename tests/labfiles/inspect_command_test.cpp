// soilcal inspect through the program: the listing of a GDS file's stages
// with the TOML that selects them, the selected test's readings as CSV in
// the job's quantity names, and a sentence with exit code 11 for a stage
// that is not there.
#include <gtest/gtest.h>

#include <cmath>

#include "labfiles/lab_file_writers.hpp"
#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

TEST(InspectCommand, ListsStagesAndWritesTheSelectedStageAsCsv) {
  TempDir dir;
  GdsVariant v;
  v.decimalComma = true;
  v.latin1 = true;
  const auto readings = DrainedTriaxial(McSoil{}, 100.0, 0.04, 4);
  dir.Write("cd.gds", GdsFile(readings, false, 100.0, v));
  const ProcessRun list = RunProcess(BuildPath("soilcal"), {"inspect", "cd.gds"}, dir.path());
  ASSERT_EQ(list.exitStatus, 0) << list.err;
  EXPECT_NE(list.out.find("  Initial Height (mm) = 100\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("- stage 5: 5 readings"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("from takes this stage by default\n    from = \"cd.gds\"\n    stage = 5"),
            std::string::npos) << list.out;

  const ProcessRun csv =
      RunProcess(BuildPath("soilcal"), {"inspect", "cd.gds", "--stage", "5", "--csv"}, dir.path());
  ASSERT_EQ(csv.exitStatus, 0) << csv.err;
  const std::vector<std::string> lines = SplitLines(csv.out);
  ASSERT_EQ(lines.size(), 6u) << csv.out;
  EXPECT_EQ(lines[0], "phase,axial_strain,deviator_stress,volumetric_strain,mean_effective_stress");
  // Reading 2: εa = 0.02 > q_f / E, so q = q_f of φ = 35°, c = 0 at 100 kPa:
  // 100 (N − 1) with N = (1 + sin 35°)/(1 − sin 35°) = 3.6902.
  EXPECT_EQ(lines[3].substr(0, 7), "1,0.02,");
  EXPECT_NEAR(std::stod(lines[3].substr(7)), 269.0164, 1e-3);

  const ProcessRun bad =
      RunProcess(BuildPath("soilcal"), {"inspect", "cd.gds", "--stage", "8"}, dir.path());
  EXPECT_EQ(bad.exitStatus, 11);
  EXPECT_EQ(bad.err, "soilcal inspect: cd.gds has no stage 8; its stages are 1, 2, 3, 4, 5 (stage "
                     "= N in the test)\n");
}

TEST(InspectCommand, ListsAgs4SpecimensAndTheStrengthOfTheTriaxialSummaries) {
  TempDir dir;
  dir.Write("site.ags", Ags4File({NormalCompression("BH1", 2.0, "1", 0.1, 0.02, 1.0, {50, 100}, {}),
                                  NormalCompression("BH2", 3.5, "A", 0.1, 0.02, 1.0, {50, 100}, {})},
                                 {OnFailureLine("BH1", 3, "1", 10, 30, 200, 100),
                                  OnFailureLine("BH1", 3, "2", 10, 30, 400, 100)}));
  const ProcessRun list = RunProcess(BuildPath("soilcal"), {"inspect", "site.ags"}, dir.path());
  ASSERT_EQ(list.exitStatus, 0) << list.err;
  EXPECT_NE(list.out.find("specimen = { location = \"BH2\", depth = 3.5, ref = \"A\" }"),
            std::string::npos) << list.out;
  EXPECT_NE(list.out.find("c′ = 10.00 kPa, φ′ = 30.00°"), std::string::npos) << list.out;
  const ProcessRun csv = RunProcess(
      BuildPath("soilcal"), {"inspect", "site.ags", "--specimen", "BH2:3.5:A", "--csv"}, dir.path());
  ASSERT_EQ(csv.exitStatus, 0) << csv.err;
  // ε = λ* ln(100/50) = 0.1 ln 2.
  const std::vector<std::string> lines = SplitLines(csv.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "phase,vertical_stress,axial_strain");
  EXPECT_NEAR(std::stod(lines[2].substr(6)), 0.1 * std::log(2.0), 1e-12);
}

}  // namespace
}  // namespace soilcal::testing
