// `from` tests read by the TOML reader: a test from a file is the very test
// the template gives with the same values, the oedometer's readings fall
// into one phase per monotonic branch, keys beside `from` override what was
// read, and a bad file or key is one sentence naming the job file's line.
#include <gtest/gtest.h>

#include <cmath>

#include "jobfile/native_writer.hpp"
#include "jobfile/toml_job.hpp"
#include "labfiles/lab_file_writers.hpp"
#include "services/errors.hpp"
#include "support/files.hpp"

namespace soilcal::testing {
namespace {

const char* kHead = R"(
[model]
name = "mohr_coulomb"
[parameters]
G = 10000
nu = 0.3
phi = 30
c = 0
psi = 0
)";

std::string ErrorText(const TempDir& dir, const std::string& tests) {
  dir.Write("job.toml", std::string(kHead) + tests);
  try {
    jobfile::ReadTomlJob((dir.path() / "job.toml").string());
  } catch (const services::RunError& e) {
    return e.detail;
  }
  return "no error";
}

// The same test, once from a GDS file and once from its template with the
// values inspect reports: the lab-test files agree line by line but the
// title.
TEST(FromTests, AGdsTestIsTheTemplateTestWithTheValuesRead) {
  TempDir dir;
  const auto readings = UndrainedTriaxial(McSoil{}, 150.0, 0.1, 20);
  dir.Write("cu.gds", GdsFile(readings, true, 150.0, GdsVariant{}));
  dir.Write("job.toml", std::string(kHead) + R"(
[[tests]]
name = "A"
from = "cu.gds"
[[tests]]
name = "B"
type = "triaxial_compression"
cell_pressure = 150
axial_strain = 0.1
drainage = "undrained"
)");
  const jobfile::NativeJob job = jobfile::ReadTomlJob((dir.path() / "job.toml").string());
  const auto body = [&](std::size_t t) {
    const std::string text =
        jobfile::LabTestFileText(job.job.tests[t], job.job.material, "title");
    return text;
  };
  EXPECT_EQ(body(0), body(1));
  ASSERT_EQ(job.job.tests[0].curves.size(), 2u);
  const input::Curve& q = job.job.tests[0].curves[0];
  EXPECT_EQ(q.nPoints, 21);
  EXPECT_NEAR(q.y.back(), readings.back().q, 1e-6);  // as σ′1 − σ′3 in compression
  EXPECT_EQ(job.language.curves[0][1].y.name, "excess_pore_pressure");
  EXPECT_EQ(job.language.curves[0][1].output, "A_excess_pore_pressure");
  EXPECT_NE(job.sources.find("test \"A\" from cu.gds (GDS)"), std::string::npos);
}

TEST(FromTests, OedometerReadingsFallIntoOnePhasePerBranch) {
  TempDir dir;
  dir.Write("site.ags", Ags4File({NormalCompression("BH1", 2.0, "1", 0.1, 0.02, 1.0,
                                                    {50, 100, 200, 400}, {200, 100})},
                                 {}));
  dir.Write("job.toml", std::string(kHead) + R"(
[[tests]]
name = "OED"
from = "site.ags"
steps = [30, 10]
)");
  const jobfile::NativeJob job = jobfile::ReadTomlJob((dir.path() / "job.toml").string());
  const input::LabTest& t = job.job.tests[0];
  // Loading to a little past 400, then unloading to a little below 100.
  ASSERT_EQ(t.nPhases, 2);
  const input::Curve& c = t.curves[0];
  // The start and three loading readings in the loading phase, the reversal
  // reading at 400 compared there; it starts (anchors) the unloading too,
  // whose two readings are compared from it.
  EXPECT_EQ(c.segmentSizes, (std::vector<int>{4, 3}));
  EXPECT_EQ(c.x[2], 200.0);
  EXPECT_EQ(c.x[3], 400.0);
  EXPECT_EQ(c.x[4], 400.0);
  EXPECT_EQ(c.x[6], 100.0);
  EXPECT_NE(job.sources.find("to 400, 100 (each branch ends 0.5 % past"), std::string::npos) << job.sources;
}

TEST(FromTests, KeysBesideFromOverrideWhatWasRead) {
  TempDir dir;
  dir.Write("cd.gds", GdsFile(DrainedTriaxial(McSoil{}, 100.0, 0.1, 20), false, 100.0, {}));
  dir.Write("job.toml", std::string(kHead) + R"(
[[tests]]
name = "A"
from = "cd.gds"
drainage = "undrained"
x_range = [0, 0.05]
curves = ["mean_effective_stress", { y = "deviator_stress", name = "q", x_range = [0, 0.02] }]
)");
  const jobfile::NativeJob job = jobfile::ReadTomlJob((dir.path() / "job.toml").string());
  const input::LabTest& t = job.job.tests[0];
  EXPECT_EQ(t.modelNumber, 2 + 200);  // undrained, as the job says
  ASSERT_EQ(t.curves.size(), 2u);
  EXPECT_EQ(t.curves[0].nPoints, 11);  // readings at 0, 0.005, ..., 0.05
  EXPECT_EQ(t.curves[1].nPoints, 5);   // the curve's own range: 0 to 0.02
  EXPECT_EQ(job.language.curves[0][0].y.name, "mean_effective_stress");
  EXPECT_EQ(job.language.curves[0][1].output, "A_q");
}

TEST(FromTests, BadSourcesAreOneSentenceAtTheTestsLine) {
  TempDir dir;
  dir.Write("cd.gds", GdsFile(DrainedTriaxial(McSoil{}, 100.0, 0.1, 20), false, 100.0, {}));
  EXPECT_EQ(ErrorText(dir, "[[tests]]\nname = \"A\"\nfrom = \"nothere.gds\"\n"),
            "job.toml line 12: laboratory file \"nothere.gds\" not found in " +
                dir.path().string() + "/");
  EXPECT_EQ(ErrorText(dir, "[[tests]]\nname = \"A\"\nfrom = \"cd.gds\"\nstage = 7\n"),
            "job.toml line 12: cd.gds has no stage 7; its stages are 1, 2, 3, 4, 5 (stage = N in "
            "the test)");
  EXPECT_NE(ErrorText(dir, "[[tests]]\nname = \"A\"\nfrom = \"cd.gds\"\ncurves = [\"excess_pore_pressure\"]\n")
                .find("cd.gds gives no \"excess_pore_pressure\" for this test; it gives "
                      "deviator_stress, volumetric_strain, mean_effective_stress"),
            std::string::npos);
  EXPECT_NE(ErrorText(dir, "[[tests]]\nname = \"A\"\nfrom = \"cd.gds\"\ncell_pressure = 100\n")
                .find("cell_pressure"),
            std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
