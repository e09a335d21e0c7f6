// The command line of soilcal serve and the progress lines a run writes for it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "run/progress_line.hpp"
#include "web/serve_options.hpp"

namespace soilcal::testing {
namespace {

web::ServeOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), {"soilcal", "serve"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return web::ParseServeOptions(static_cast<int>(args.size()), argv.data());
}

TEST(ServeOptions, ReadsTheFolderPortAndLimitsAndRefusesWhatIsNoneOfThem) {
  const auto defaults = Parse({});
  EXPECT_EQ(defaults.folder, ".");
  EXPECT_EQ(defaults.port, 8765);
  EXPECT_EQ(defaults.listen, "127.0.0.1");
  EXPECT_EQ(defaults.maxUploadBytes, 100u << 20);
  const auto given = Parse({"--port", "9000", "jobs", "--open", "--max-upload", "5"});
  EXPECT_TRUE(given.error.empty()) << given.error;
  EXPECT_EQ(given.folder, "jobs");
  EXPECT_EQ(given.port, 9000);
  EXPECT_TRUE(given.open);
  EXPECT_EQ(given.maxUploadBytes, 5u << 20);
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--port", "65536"}, {"--port", "80x"}, {"--port", "-1"}, {"--port"},
           {"--max-upload", "0"}, {"a", "b"}, {"--verbose"}}) {
    EXPECT_FALSE(Parse(bad).error.empty()) << bad[0];
  }
}

TEST(ProgressJson, IsOneJsonObjectWithThePhaseAndNullForFiguresNotYetKnown) {
  optimisation::SearchProgress p;
  p.phase = optimisation::SearchPhase::kIterations;
  p.iteration = 7;
  p.evaluations = 1234;
  p.bestError = 2.5;
  p.bestObjective = 1.25e-4;
  const std::string line = run::ProgressJson(p);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const auto j = nlohmann::json::parse(line)["progress"];
  EXPECT_EQ(j["phase"], "iterations");
  EXPECT_EQ(j["iteration"], 7);
  EXPECT_EQ(j["evaluations"], 1234);
  EXPECT_DOUBLE_EQ(j["best_error"].get<double>(), 2.5);
  EXPECT_DOUBLE_EQ(j["best_objective"].get<double>(), 1.25e-4);
  EXPECT_TRUE(j["convergence"].is_null());  // not known yet (< 0)
  p.phase = optimisation::SearchPhase::kFinalRun;
  p.bestError = -1.0;
  const auto k = nlohmann::json::parse(run::ProgressJson(p))["progress"];
  EXPECT_EQ(k["phase"], "final_run");
  EXPECT_TRUE(k["best_error"].is_null());
}

}  // namespace
}  // namespace soilcal::testing
