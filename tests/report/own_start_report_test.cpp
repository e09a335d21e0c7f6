// A test's own start void ratio (e0 or n0 in a TOML job's [[tests]]) in the
// calibration summary and in the report's table of the test's initial
// state, and the report rebuilt from the summary keeps it. The values are
// set apart (a dense, a porosity-given and a job-default specimen), so a
// value shown for the wrong test, the wrong form or none shows.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "support/files.hpp"
#include "support/process.hpp"

#include <nlohmann/json.hpp>

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

std::string TestTable(const std::string& name, const std::string& state, double cell) {
  return "[[tests]]\nname = \"" + name + "\"\ntype = \"triaxial_compression\"\n" + state +
         "cell_pressure = " + std::to_string(cell) + "\naxial_strain = 0.05\nsteps = 20\n"
         "[[tests.curves]]\nfile = \"q.csv\"\nx = \"axial_strain\"\ny = \"deviator_stress\"\n";
}

// Number of times `what` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(OwnStartReport, EachTestShowsTheVoidRatioItStartsFrom) {
  TempDir dir;
  dir.Write("q.csv", "axial_strain,deviator_stress\n0.01,150\n0.03,250\n0.05,280\n");
  dir.Write("job.toml",
            "[model]\nname = \"mohr_coulomb\"\n[parameters]\nG = 10000\nnu = 0.25\nphi = 33\n"
            "c = 1\npsi = 3\nn0 = 0.45\n[calibrate]\nfree = { phi = [25, 45] }\n" +
                TestTable("DENSE", "e0 = 0.70\n", 100) + TestTable("POROUS", "n0 = 0.4\n", 200) +
                TestTable("JOB", "", 300));
  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const fs::path out = dir.path() / "job.out";

  const nlohmann::json summary = nlohmann::json::parse(ReadFile(out / "calibration_summary.json"));
  const nlohmann::json& tests = summary.at("tests");
  ASSERT_EQ(tests.size(), 3u);
  // The void ratio and the porosity of one specimen, whichever was given:
  // n = e / (1 + e), to rounding.
  const nlohmann::json& dense = tests[0].at("own_start");
  EXPECT_EQ(dense.at("given"), "e0");
  EXPECT_NEAR(dense.at("void_ratio").get<double>(), 0.70, 1e-12);
  EXPECT_NEAR(dense.at("porosity").get<double>(), 0.70 / 1.70, 1e-15);
  const nlohmann::json& porous = tests[1].at("own_start");
  EXPECT_EQ(porous.at("given"), "n0");
  EXPECT_EQ(porous.at("porosity").get<double>(), 0.4);
  EXPECT_NEAR(porous.at("void_ratio").get<double>(), 0.4 / 0.6, 1e-12);
  // The test that takes the job's material has no start of its own.
  EXPECT_FALSE(tests[2].contains("own_start"));

  const std::string page = ReadFile(out / "calibration_report.html");
  EXPECT_EQ(Count(page, "Void ratio of this specimen e0"), 1u);
  EXPECT_EQ(Count(page, "Porosity of this specimen n0"), 1u);
  EXPECT_NE(page.find("<td class=\"text\">0.7 (n0 = 0.4118)</td>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"text\">0.4 (e0 = 0.6667)</td>"), std::string::npos);
  // Each row sits in its own test's section, in the order of the tests.
  const auto dense_at = page.find("DENSE · triaxial compression");
  const auto porous_at = page.find("POROUS · triaxial compression");
  const auto job_at = page.find("JOB · triaxial compression");
  ASSERT_NE(dense_at, std::string::npos);
  ASSERT_NE(porous_at, std::string::npos);
  ASSERT_NE(job_at, std::string::npos);
  const auto e0_row = page.find("Void ratio of this specimen e0");
  const auto n0_row = page.find("Porosity of this specimen n0");
  EXPECT_LT(dense_at, e0_row);
  EXPECT_LT(e0_row, porous_at);
  EXPECT_LT(porous_at, n0_row);
  EXPECT_LT(n0_row, job_at);

  // soilcal-report rebuilds the page from the summary alone: the same rows.
  fs::remove(out / "calibration_report.html");
  const ProcessRun again = RunProcess(BuildPath("soilcal-report"), {"job.toml"}, dir.path());
  ASSERT_EQ(again.exitStatus, 0) << again.err;
  EXPECT_EQ(ReadFile(out / "calibration_report.html"), page);
}

}  // namespace
}  // namespace soilcal::testing
