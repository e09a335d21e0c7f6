// A calibrated value held by a model rule, through the program: the
// Hardening Soil example with its oedometer modulus fixed too low pushes
// E50ref up to Eur/2 = Gurref (1 + νur), the rule's limit. The summary and
// the console name the rule, the fixed parameters behind it with their
// values and the way to move them, never "cannot be determined".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

TEST(WallRun, E50refAtTheUnloadingStiffnessRuleNamesGurrefAndNu) {
  TempDir dir;
  CopyExample("hardening_soil", dir.path());
  std::string job = ReadFile(dir.path() / "job.toml");
  const std::string given = "Eoedref = 20000";
  ASSERT_NE(job.find(given), std::string::npos);
  job.replace(job.find(given), given.size(), "Eoedref = 12000");
  WriteFile(dir.path() / "job.toml", job);
  const ProcessRun run =
      RunProcess(BuildPath("soilcal"), {"--search=thorough", "job.toml"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const nlohmann::json summary =
      nlohmann::json::parse(ReadFile(dir.path() / "job.out" / "calibration_summary.json"));
  const nlohmann::json& e50 = summary["parameters"][0];
  ASSERT_EQ(e50["name"], "E50ref");
  // Eur/2 = 25000 (1 + 0.2) = 30000 kPa: the search ends within 1 % of it.
  EXPECT_NEAR(e50["calibrated"].get<double>(), 30000.0, 300.0);
  std::string wall;
  for (const nlohmann::json& f : e50["uncertainty"]["flags"]) {
    EXPECT_NE(f["kind"], "not_identifiable") << f["text"];
    if (f["kind"] == "wall") wall = f["text"];
  }
  ASSERT_FALSE(wall.empty()) << run.err;
  EXPECT_NE(wall.find("\u201cE50ref outside Eur/20..Eur/2\u201d"), std::string::npos) << wall;
  EXPECT_NE(wall.find("set there by Gurref fixed at 25000 kPa and νur fixed at 0.2"),
            std::string::npos) << wall;
  EXPECT_NE(wall.find("lies at it"), std::string::npos) << wall;
  EXPECT_NE(wall.find("Free Gurref or raise it"), std::string::npos) << wall;
  // A warning, so the headline says so.
  EXPECT_NE(run.err.find("warning: " + wall), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("calibrated, with warnings"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
