// The uncertainty step through the program: after the default search it
// adds the linearised estimate (2 n + 1 evaluations) to the summary and
// changes no file the host reads; after the thorough search the profiles
// bracket the true values of the example's closed-form curves; a freed slot
// that the completion ignores is warned about and flagged.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

ProcessRun Soilcal(const std::vector<std::string>& args, const fs::path& dir) {
  return RunProcess(BuildPath("soilcal"), args, dir);
}

json Summary(const fs::path& dir) { return json::parse(ReadFile(dir / "calibration_summary.json")); }

const char* const kHostFiles[] = {"Optimization_result.txt", "Q_EPS.TXT_referenced",
                                  "EV_EPS.TXT_referenced", "Q_EPS.TXT_calculated",
                                  "EV_EPS.TXT_calculated"};

TEST(UncertaintyRun, DefaultSearchGetsTheLinearisedEstimateAndNoHostFileChanges) {
  TempDir on, off;
  CopyExample("sand_triaxial", on.path());
  CopyExample("sand_triaxial", off.path());
  const ProcessRun withStep = Soilcal({"OPTIM.TXT"}, on.path());
  const ProcessRun without = Soilcal({"--uncertainty=off", "OPTIM.TXT"}, off.path());
  ASSERT_EQ(withStep.exitStatus, 0);
  ASSERT_EQ(without.exitStatus, 0);
  // The linearised step says nothing on standard error: the console
  // summary is the one of a run without it, folder and the line of the
  // run's times aside (which names the step's part).
  const auto untimed = [](const std::string& text, std::string* times) {
    std::string out;
    for (const std::string& line : SplitLines(text)) {
      if (line.rfind("soilcal: time: ", 0) == 0) {
        *times = line;
      } else {
        out += line + "\n";
      }
    }
    return out;
  };
  std::string timesOn, timesOff;
  std::string err = untimed(withStep.err, &timesOn);
  for (std::size_t at; (at = err.find(on.path().string())) != std::string::npos;) {
    err.replace(at, on.path().string().size(), off.path().string());
  }
  EXPECT_EQ(err, untimed(without.err, &timesOff));
  EXPECT_NE(timesOn.find(", uncertainty "), std::string::npos) << timesOn;
  EXPECT_EQ(timesOff.find("uncertainty"), std::string::npos) << timesOff;
  EXPECT_EQ(withStep.out, without.out);
  for (const char* name : kHostFiles) {
    EXPECT_EQ(WithoutTimingLines(on.Read(name)), WithoutTimingLines(off.Read(name))) << name;
  }

  const json j = Summary(on.path());
  // Two free parameters: the best point and two moved points each.
  EXPECT_EQ(j["uncertainty_method"]["evaluations"], 5);
  EXPECT_TRUE(j["uncertainty_method"]["profile_threshold"].is_null());
  // 19 points on each curve, the first of each at y = 0 carries no term.
  EXPECT_EQ(j["residual_count"], 36);
  EXPECT_EQ(j["uncertainty_method"]["degrees_of_freedom"], 34);
  const json& m = j["correlation"]["matrix"];
  EXPECT_EQ(j["correlation"]["parameters"], (json{"Gref", "phi"}));
  EXPECT_DOUBLE_EQ(m[0][0].get<double>(), 1.0);
  EXPECT_EQ(m[0][1], m[1][0]);
  EXPECT_GT(j["condition_number"].get<double>(), 1.0);
  for (const json& p : j["parameters"]) {
    SCOPED_TRACE(p["name"].get<std::string>());
    const json& u = p["uncertainty"];
    const double best = p["calibrated"].get<double>(), se = u["standard_error"].get<double>();
    EXPECT_GT(se, 0.0);
    // best +- t(0.975; 34) SE, t = 2.0322.
    EXPECT_NEAR(u["interval_95"][0].get<double>(), best - 2.0322 * se, 1e-4 * se);
    EXPECT_NEAR(u["interval_95"][1].get<double>(), best + 2.0322 * se, 1e-4 * se);
    EXPECT_TRUE(u["profile"].is_null());
  }

  const json n = Summary(off.path());
  EXPECT_TRUE(n["uncertainty_method"].is_null());
  EXPECT_TRUE(n["parameters"][0]["uncertainty"].is_null());
}

TEST(UncertaintyRun, ThoroughSearchProfilesBracketTheTrueValuesOfTheExample) {
  // The example's curves are the closed-form Mohr-Coulomb response of
  // G = 24000 kPa and phi = 38 deg: nearly exact, so the intervals are
  // narrow and must still hold the truth.
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const ProcessRun run = Soilcal({"--search=thorough", "OPTIM.TXT"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("soilcal: uncertainty: 5 evaluations for the Jacobian and "),
            std::string::npos) << run.err;
  const json j = Summary(dir.path());
  EXPECT_FALSE(j["uncertainty_method"]["profile_threshold"].is_null());
  const double truth[] = {24000.0, std::sin(38.0 * M_PI / 180.0)};
  for (int k = 0; k < 2; ++k) {
    const json& u = j["parameters"][k]["uncertainty"];
    SCOPED_TRACE(k);
    ASSERT_TRUE(u["profile"][0].is_number() && u["profile"][1].is_number()) << u.dump();
    const double low = u["profile"][0].get<double>(), high = u["profile"][1].get<double>();
    EXPECT_LT(low, truth[k]);
    EXPECT_GT(high, truth[k]);
    // Residuals nearly linear this close to the fit: the profile ends lie
    // within a tenth of the half-width of the linearised ones.
    const double lo95 = u["interval_95"][0].get<double>(), hi95 = u["interval_95"][1].get<double>();
    EXPECT_NEAR(low, lo95, 0.05 * (hi95 - lo95));
    EXPECT_NEAR(high, hi95, 0.05 * (hi95 - lo95));
  }
}

TEST(UncertaintyRun, FreedSlotThatTheCompletionIgnoresIsWarnedAboutAndFlagged) {
  TempDir dir;
  CopyExample("hoek_brown_rock", dir.path());
  // sigma_ci (slot 31) and GSI (slot 33): mb, s and a are derived from GSI
  // once, when the set is completed, so GSI changes nothing afterwards.
  dir.Write("OPTIM.TXT",
            "2\n1\n0.001\n31\n33\n20000 80000\n10 90\n3\nUCS.VLT 1\nQ_UCS.TXT\n"
            "TRIAX3.VLT 1\nQ_TRIAX3.TXT\nTRIAX10.VLT 1\nQ_TRIAX10.TXT\n");
  const ProcessRun run = Soilcal({"OPTIM.TXT"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err.rfind("soilcal: warning: GSI (slot 33) has no effect once material set 1 is "
                          "completed: the Hoek-Brown model uses it only to derive mb, s and a",
                          0),
            0u)
      << run.err;
  const json j = Summary(dir.path());
  std::vector<std::string> kinds;
  for (const json& f : j["parameters"][1]["uncertainty"]["flags"]) kinds.push_back(f["kind"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"derived", "insensitive", "not_identifiable"}));
  EXPECT_TRUE(j["parameters"][1]["uncertainty"]["standard_error"].is_null());
  EXPECT_TRUE(j["parameters"][0]["uncertainty"]["flags"].empty());
  EXPECT_GT(j["parameters"][0]["uncertainty"]["standard_error"].get<double>(), 0.0);
}

}  // namespace
}  // namespace soilcal::testing
