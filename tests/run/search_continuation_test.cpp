// A thorough search that its profiles show short of the bottom of its
// valley goes on from the better point they met, so that the run reports
// the best point it saw: the result file, the "_calculated" curves and the
// summary are that point's.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "run/calibration.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

class Quiet : public services::ConsoleSink {
 public:
  void Write(services::ConsoleStream stream, std::string_view text) override {
    std::lock_guard lock(mutex_);
    if (stream == services::ConsoleStream::kErr) err.append(text);
  }
  std::string err;

 private:
  std::mutex mutex_;
};

struct Ran {
  run::CalibrationOutcome done;
  std::string err;
};

// The sand example (G and φ free, closed-form curves) with a thorough
// search of `budget` evaluations: 40 stop it well above the bottom of its
// valley, far from the 3000 of its default budget.
Ran RunSand(const fs::path& dir, run::UncertaintyMode uncertainty, long budget) {
  CopyExample("sand_triaxial", dir);
  Quiet console;
  run::CalibrationRequest request;
  request.path = (dir / "OPTIM.TXT").string();
  request.search = run::SearchMode::kThorough;
  request.uncertainty = uncertainty;
  request.thoroughBudget = budget;
  request.console = &console;
  request.progressLine = false;
  request.threads = 2;
  Ran ran{run::RunCalibration(request), ""};
  ran.err = console.err;
  return ran;
}

TEST(SearchContinuation, AThoroughSearchGoesOnFromABetterPointItsProfilesMet) {
  TempDir plainDir, goneOnDir;
  // Without profiles the search's own point is reported; with them the run
  // goes on from what they met.
  const Ran plain = RunSand(plainDir.path(), run::UncertaintyMode::kLinear, 40);
  const Ran goneOn = RunSand(goneOnDir.path(), run::UncertaintyMode::kProfile, 40);
  ASSERT_EQ(plain.done.outcome.exitCode, 0) << plain.err;
  ASSERT_EQ(goneOn.done.outcome.exitCode, 0) << goneOn.err;
  ASSERT_TRUE(plain.done.found && goneOn.done.found);
  const optimisation::SwarmResult& before = *plain.done.found;
  const optimisation::SwarmResult& after = *goneOn.done.found;
  EXPECT_EQ(before.continuations, 0);
  ASSERT_GE(after.continuations, 1) << goneOn.err;
  EXPECT_NE(goneOn.err.find("a profile met a better fit"), std::string::npos) << goneOn.err;
  // Both searches are the same up to their end (deterministic on any
  // number of threads): the continuation only lowers the objective.
  EXPECT_LT(after.bestObjective, before.bestObjective);
  EXPECT_GT(after.evaluations, before.evaluations);
  EXPECT_GT(after.continuationEvaluations, 0);

  // The result file holds that point once: one "General" section, the
  // parameters, error and sensitivities of the point the search went on to.
  const std::string text = ReadFile(goneOnDir.path() / "Optimization_result.txt");
  const ResultFile result = ParseResultFile(text);
  EXPECT_TRUE(result.badLines.empty());
  int generals = 0;
  for (const ResultSection& s : result.sections) generals += s.name == "General" ? 1 : 0;
  EXPECT_EQ(generals, 1) << text;
  EXPECT_DOUBLE_EQ(KeyValue(result, "General", "Exit Code"), 0.0);
  EXPECT_DOUBLE_EQ(KeyValue(result, "Params", "Gref"), after.best[0]);
  EXPECT_DOUBLE_EQ(KeyValue(result, "Params", "phi"), after.best[1]);
  EXPECT_DOUBLE_EQ(KeyValue(result, "Objective info", "Relative Error"), after.bestError);
  EXPECT_DOUBLE_EQ(KeyValue(result, "Relative Sensitivity", "phi"), after.sensitivity[1]);

  // The "_calculated" curves were written again at that point: they differ
  // from those of the search's own point.
  const auto calculated = [](const fs::path& dir) {
    return ReadFile(dir / "Q_EPS.TXT_calculated");
  };
  EXPECT_NE(calculated(goneOnDir.path()), calculated(plainDir.path()));

  // The summary says so, and its best point is the result file's.
  const nlohmann::json summary =
      nlohmann::json::parse(ReadFile(goneOnDir.path() / "calibration_summary.json"));
  EXPECT_EQ(summary["search"]["continuations"].get<int>(), after.continuations);
  EXPECT_EQ(summary["search"]["continuation_evaluations"].get<long>(),
            after.continuationEvaluations);
  EXPECT_DOUBLE_EQ(summary["best"]["mean_relative_error"].get<double>(), after.bestError);
  ASSERT_TRUE(goneOn.done.record);
  const std::string report = ReadFile(goneOnDir.path() / "calibration_report.html");
  EXPECT_NE(report.find("from a better point its profiles met"), std::string::npos);
}

}  // namespace
}  // namespace soilcal::testing
