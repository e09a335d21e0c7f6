// A calibrated value held by a model rule, through the program: the
// Hardening Soil example with its oedometer modulus fixed too low pushes
// E50ref up to Eur/2 = Gurref (1 + νur), the rule's limit. The summary and
// the console name the rule, the fixed parameters behind it with their
// values and the way to move them, never "cannot be determined". The
// cap fit's wall on the measured sand with a stiff oedometer modulus.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "models/family.hpp"
#include "services/library.hpp"
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

// The cap fit's wall through the program: the measured Karlsruhe sand with
// its oedometer modulus fixed at 40000 kPa (K0nc 0.45, Gurref 50000 kPa,
// m 0.5). The cap library finds a cap only for E50ref at or above 28046 kPa,
// and the three deviator curves alone would take E50ref lower: the thorough
// search ends at the wall and the profile of E50ref stops there. The wall is
// checked against the library itself, not against the run's own figure.
TEST(WallRun, E50refAtTheCapFitNamesEoedrefAndK0nc) {
  TempDir dir;
  CopyExample("measured_sand/hardening_soil", dir.path() / "hardening_soil");
  CopyExample("measured_sand/data", dir.path() / "data");
  const fs::path folder = dir.path() / "hardening_soil";
  std::string job = ReadFile(folder / "job.toml");
  for (const auto& [given, changed] : {std::pair<std::string, std::string>{"Eoedref = 20000",
                                                                           "Eoedref = 40000"},
                                       {"E50ref = 20000", "E50ref = 35000"}}) {
    ASSERT_NE(job.find(given), std::string::npos) << given;
    job.replace(job.find(given), given.size(), changed);
  }
  WriteFile(folder / "job.toml", job);

  // Where the cap fit's wall lies for these values, from the library.
  services::SharedLibrary lib;
  ASSERT_TRUE(lib.LoadPath(BuildPath("libzarirude.so")));
  const auto capItr = reinterpret_cast<models::HsCapItrFn>(lib.Symbol("HS_CapItr"));
  ASSERT_NE(capItr, nullptr);
  const auto fits = [&](double e50) {
    double work = -1, alpha = -1, ksKc = -1, giRef = -1, extra = -1;
    int status = -999;
    capItr(e50, 2.0 * 50000.0 * 1.2, 0.2, &work, 100.0, 0.9, 0.5, 0.45, 40000.0, &alpha, &ksKc,
           &giRef, &extra, &work, &status);
    return status == 0;
  };
  double lo = 10000.0, hi = 50000.0;
  ASSERT_FALSE(fits(lo));
  ASSERT_TRUE(fits(hi));
  while (hi - lo > 1.0) (fits(0.5 * (lo + hi)) ? hi : lo) = 0.5 * (lo + hi);
  // About 0.7 Eoedref: well inside the bounds and above Eoedref/2, so
  // neither a bound nor the rule Eoedref <= 2 E50ref stands there.
  EXPECT_GT(hi, 25000.0);
  EXPECT_LT(hi, 31000.0);

  const ProcessRun run = RunProcess(BuildPath("soilcal"), {"--search=thorough", "job.toml"}, folder);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const nlohmann::json summary =
      nlohmann::json::parse(ReadFile(folder / "job.out" / "calibration_summary.json"));
  const nlohmann::json& e50 = summary["parameters"][0];
  ASSERT_EQ(e50["name"], "E50ref");
  // The calibrated value sits within 1 % of the wall, on its admissible side.
  const double best = e50["calibrated"].get<double>();
  EXPECT_GE(best, hi - 1.0);
  EXPECT_LT(best, 1.01 * hi);
  std::string wall;
  for (const nlohmann::json& f : e50["uncertainty"]["flags"]) {
    EXPECT_NE(f["kind"], "not_identifiable") << f["text"];
    if (f["kind"] == "wall") wall = f["text"];
  }
  ASSERT_FALSE(wall.empty()) << run.err;
  // The profile's lower end is open: it stopped at the wall, not on a rise.
  EXPECT_TRUE(e50["uncertainty"]["profile"][0].is_null()) << e50["uncertainty"].dump();
  const std::string rule =
      "the cap fit of the Hardening Soil model (HS_CapItr) found no cap for E50ref, EOedRef and K0nc";
  EXPECT_NE(wall.find("below "), std::string::npos) << wall;
  EXPECT_NE(wall.find("the rule \u201c" + rule + "\u201d rejects every value"), std::string::npos)
      << wall;
  // The value the sentence names is the library's wall to the kPa.
  const std::size_t at = wall.find("below ") + 6;
  EXPECT_NEAR(std::stod(wall.substr(at)), hi, 1.5) << wall;
  // K0nc is given, so the fit does not read φ: the calibrated φ is no
  // trade-off partner.
  EXPECT_NE(wall.find("set there by Eoedref fixed at 40000 kPa and K0nc fixed at 0.45;"),
            std::string::npos) << wall;
  EXPECT_EQ(wall.find("φ"), std::string::npos) << wall;
  EXPECT_NE(wall.find("lies at it"), std::string::npos) << wall;
  // A softer oedometer modulus lowers the wall.
  EXPECT_NE(wall.find("Free Eoedref or lower it"), std::string::npos) << wall;
  EXPECT_NE(run.err.find("warning: " + wall), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("calibrated, with warnings"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
