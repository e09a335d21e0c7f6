// The times of a whole run: every part from the reading to the report, the
// uncertainty step included, in the summary, the report and the console;
// the result file's own timing lines end where its body is written.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include <nlohmann/json.hpp>

#include "run/run_timer.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

using nlohmann::json;

double Sum(const std::vector<report::TimePart>& parts, bool cpu) {
  return std::accumulate(parts.begin(), parts.end(), 0.0, [&](double s, const report::TimePart& p) {
    return s + (cpu ? p.cpu : p.wall);
  });
}

// Parts in the order first entered, a part entered again adds to itself,
// and the parts add up to the whole.
TEST(RunTimer, PartsAddUpToTheWholeInTheOrderFirstEntered) {
  run::RunTimer timer;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  timer.Enter(run::kSearchPart);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  timer.Enter(run::kWritingPart);
  timer.Enter(run::kUncertaintyPart);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  timer.Enter(run::kWritingPart);
  timer.Enter(run::kWritingPart);  // no change
  const report::RunTimes t = timer.Now();
  ASSERT_EQ(t.parts.size(), 4u);
  EXPECT_EQ(t.parts[0].name, run::kReadingPart);
  EXPECT_EQ(t.parts[1].name, run::kSearchPart);
  EXPECT_EQ(t.parts[2].name, run::kWritingPart);
  EXPECT_EQ(t.parts[3].name, run::kUncertaintyPart);
  // Sleeps last at least as long as asked.
  EXPECT_GE(t.parts[0].wall, 0.020);
  EXPECT_GE(t.parts[1].wall, 0.030);
  EXPECT_GE(t.parts[3].wall, 0.010);
  EXPECT_NEAR(Sum(t.parts, false), t.wall, 1e-12);
  EXPECT_NEAR(Sum(t.parts, true), t.cpu, 1e-12);
  EXPECT_EQ(report::TimesText({1.5, 2.0, {{"search", 1.0, 1.5}, {"writing", 0.5, 0.5}}}, false),
            "1.5 s (search 1 s, writing 0.5 s)");
}

// A run with profile likelihoods: the uncertainty step is a part of the
// whole, which therefore lasts longer than the result file's time.
TEST(RunTimes, CoverTheWholeRunWithItsPartsInSummaryReportAndConsole) {
  TempDir dir;
  CopyExample("sand_triaxial", dir.path());
  const ProcessRun run =
      RunProcess(BuildPath("soilcal"), {"--uncertainty=profile", "OPTIM.TXT"}, dir.path());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const json summary = json::parse(dir.Read("calibration_summary.json"));
  const json& times = summary.at("run_times");
  std::vector<std::string> names;
  double wall = 0.0, cpu = 0.0;
  for (const json& p : times.at("parts")) {
    names.push_back(p.at("part"));
    wall += p.at("wall_time_s").get<double>();
    cpu += p.at("cpu_time_s").get<double>();
    EXPECT_GE(p.at("wall_time_s").get<double>(), 0.0);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"reading and reference run", "search", "writing",
                                             "uncertainty"}));
  EXPECT_NEAR(wall, times.at("wall_time_s").get<double>(), 1e-9);
  EXPECT_NEAR(cpu, times.at("cpu_time_s").get<double>(), 1e-9);
  // The profiles cost evaluations, hence time.
  ASSERT_GT(summary.at("uncertainty_method").at("profile_evaluations").get<long>(), 0);
  EXPECT_GT(times.at("parts")[3].at("wall_time_s").get<double>(), 0.0);
  // The result file's wall time (whole ms) ends before the uncertainty step.
  const ResultFile result = ParseResultFile(dir.Read("Optimization_result.txt"));
  const double resultWall = KeyValue(result, "General", "Wall Time [ms]") / 1000.0;
  EXPECT_EQ(summary.at("wall_time_ms").get<double>() / 1000.0, resultWall);
  EXPECT_GT(times.at("wall_time_s").get<double>(),
            resultWall + times.at("parts")[3].at("wall_time_s").get<double>() - 0.002);

  const std::string report = dir.Read("calibration_report.html");
  EXPECT_NE(report.find(", uncertainty "), std::string::npos);
  EXPECT_NE(report.find("result file: " + std::to_string(static_cast<int>(KeyValue(result, "General", "Wall Time [ms]"))) + " ms"),
            std::string::npos);
  EXPECT_NE(run.err.find("soilcal: time: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(", uncertainty "), std::string::npos) << run.err;
}

}  // namespace
}  // namespace soilcal::testing
