// The engine's library calls that front ends other than the command line use
// (the Python module): a calibration run as a call, and a job opened without
// running it. They must give what the program gives: the same files, the
// same console lines, the same numbers.
#include <gtest/gtest.h>

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "job_files.hpp"
#include "run/calibration.hpp"
#include "run/calibration_hooks.hpp"
#include "run/open_job.hpp"
#include "services/errors.hpp"
#include "support/files.hpp"
#include "support/outputs.hpp"
#include "support/process.hpp"

namespace soilcal::testing {
namespace {

namespace fs = std::filesystem;

class Recorder : public services::ConsoleSink {
 public:
  void Write(services::ConsoleStream stream, std::string_view text) override {
    std::lock_guard lock(mutex_);
    (stream == services::ConsoleStream::kOut ? out : err).append(text);
  }
  std::string out, err;

 private:
  std::mutex mutex_;
};

// Result (without its timing lines) and curve files of a run folder.
std::map<std::string, std::string> RunFiles(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == "Optimization_result.txt") {
      files[name] = WithoutTimingLines(ReadFile(entry.path()));
    } else if (name.find("_referenced") != std::string::npos ||
               name.find("_calculated") != std::string::npos) {
      files[name] = ReadFile(entry.path());
    }
  }
  return files;
}

run::CalibrationOutcome Calibrate(const fs::path& dir, run::CalibrationRequest request) {
  request.path = (dir / "OPTIM.TXT").string();
  return run::RunCalibration(request);
}

TEST(CalibrationCall, WritesWhatTheProgramWritesAndCapturesItsStandardOutput) {
  TempDir program, call;
  CopyExample("sand_triaxial", program.path());
  CopyExample("sand_triaxial", call.path());
  const ProcessRun cli = RunSoilcal((program.path() / "OPTIM.TXT").string(), program.path());
  ASSERT_EQ(cli.exitStatus, 0) << cli.err;

  Recorder console;
  run::CalibrationRequest request;
  request.console = &console;
  request.progressLine = false;
  const run::CalibrationOutcome done = Calibrate(call.path(), request);

  EXPECT_TRUE(done.ran);
  EXPECT_EQ(done.outcome.exitCode, 0);
  EXPECT_FALSE(done.outcome.kernelError);
  EXPECT_EQ(RunFiles(call.path()), RunFiles(program.path()));
  // Every standard-output line ("Header line", "ERROR = ...") in order,
  // nothing of it on this process's own stdout.
  EXPECT_EQ(console.out, cli.out);
  ASSERT_TRUE(done.found.has_value());
  const ResultFile result = ParseResultFile(ReadFile(call.path() / "Optimization_result.txt"));
  EXPECT_DOUBLE_EQ(done.found->bestError, KeyValue(result, "Objective info", "Relative Error"));
  // The best point under the result file's names, in its order.
  ASSERT_EQ(done.parameters.size(), 2u);
  EXPECT_EQ(done.parameters[0].name, "Gref");
  EXPECT_EQ(done.parameters[1].name, "phi");
  EXPECT_DOUBLE_EQ(done.parameters[0].best, KeyValue(result, "Params", "Gref"));
  EXPECT_DOUBLE_EQ(done.parameters[1].sensitivity,
                   KeyValue(result, "Relative Sensitivity", "phi"));
}

TEST(CalibrationCall, ThreadsApplyToTheCallOnlyAndChangeNoNumber) {
  const int before = omp_get_max_threads();
  std::map<std::string, std::string> first;
  for (int threads : {1, 2}) {
    SCOPED_TRACE(std::to_string(threads) + " thread(s)");
    TempDir dir;
    WriteSmallJob(dir.path());
    Recorder console;
    run::CalibrationRequest request;
    request.console = &console;
    request.threads = threads;
    // The observer runs on the calling thread, inside the run's setting.
    int during = 0;
    request.progress = [&](const optimisation::SearchProgress&) { during = omp_get_max_threads(); };
    const run::CalibrationOutcome done = Calibrate(dir.path(), request);
    EXPECT_EQ(done.outcome.exitCode, 0) << console.err;
    EXPECT_EQ(during, threads);
    EXPECT_EQ(omp_get_max_threads(), before);
    const auto files = RunFiles(dir.path());
    EXPECT_GE(files.size(), 3u);
    if (first.empty()) {
      first = files;
    } else {
      EXPECT_EQ(files, first);
    }
  }
}

TEST(CalibrationCall, StopFlagEndsTheSearchAsTheAbortFileWithEveryFileWritten) {
  TempDir dir;
  WriteSmallJob(dir.path());
  Recorder console;
  std::atomic<bool> cancel{false};
  std::vector<optimisation::SearchProgress> seen;
  run::CalibrationRequest request;
  request.console = &console;
  request.cancel = &cancel;
  request.progressInterval = std::chrono::milliseconds(0);
  // Stops once the search reports its first iteration.
  request.progress = [&](const optimisation::SearchProgress& p) {
    seen.push_back(p);
    if (p.phase == optimisation::SearchPhase::kIterations) cancel = true;
  };
  const run::CalibrationOutcome done = Calibrate(dir.path(), request);

  EXPECT_EQ(done.outcome.exitCode, services::kUserAbort);
  EXPECT_TRUE(done.interrupted);
  EXPECT_NE(console.err.find("interrupted: the result holds the best point"), std::string::npos)
      << console.err;
  const ResultFile result = ParseResultFile(ReadFile(dir.path() / "Optimization_result.txt"));
  EXPECT_EQ(KeyValue(result, "General", "Exit Code"), 18.0);
  EXPECT_EQ(KeyValue(result, "Relative Sensitivity", "Gref"), -1.0);  // no sensitivities after a stop
  EXPECT_TRUE(fs::exists(dir.path() / "Q_EPS.TXT_calculated"));
  // The phases in the order of the run to its end, the counts never going
  // back: the final run, the uncertainty step, the writing.
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen.front().phase, optimisation::SearchPhase::kReferenceRun);
  EXPECT_EQ(seen.back().phase, optimisation::SearchPhase::kWriting);
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_GE(seen[i].evaluations, seen[i - 1].evaluations);
    EXPECT_GE(seen[i].phase, seen[i - 1].phase);
  }
  // The final run's report carries what the search ended with: no
  // iteration after the stop, the best point of the first.
  ASSERT_TRUE(done.found.has_value());
  EXPECT_EQ(done.found->iterations, 2);
  const auto final = std::find_if(seen.rbegin(), seen.rend(), [](const auto& p) {
    return p.phase == optimisation::SearchPhase::kFinalRun;
  });
  ASSERT_NE(final, seen.rend());
  EXPECT_EQ(final->evaluations, done.found->evaluations);
  EXPECT_EQ(final->bestObjective, done.found->bestObjective);
  EXPECT_EQ(final->bestError, done.found->bestError);
  // The linearised uncertainty at the best point: 2 n + 1 = 5 evaluations
  // more for the two free parameters, the best point unchanged.
  const auto step = std::find_if(seen.rbegin(), seen.rend(), [](const auto& p) {
    return p.phase == optimisation::SearchPhase::kUncertainty;
  });
  ASSERT_NE(step, seen.rend());
  EXPECT_EQ(step->evaluations, done.found->evaluations + 5);
  EXPECT_EQ(step->bestObjective, done.found->bestObjective);
  EXPECT_EQ(seen.back().evaluations, done.found->evaluations + 5);
}

TEST(CalibrationCall, ProgressReachesTheCallerAtMostOncePerInterval) {
  std::vector<long> delivered;
  run::ThrottledProgress progress(
      [&](const optimisation::SearchProgress& p) { delivered.push_back(p.evaluations); },
      std::chrono::milliseconds(200));
  optimisation::SearchProgress p;
  for (long k = 1; k <= 5; ++k) {
    p.evaluations = k;
    progress.Note(p);  // within 200 ms of the first: dropped
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(220));
  progress.Phase(optimisation::SearchPhase::kFinalRun);  // the last counts, another phase
  EXPECT_EQ(delivered, (std::vector<long>{1, 5}));
}

TEST(OpenedJob, EvaluatesAndSimulatesAsTheRunDid) {
  TempDir dir;
  WriteSmallJob(dir.path());
  Recorder console;
  run::CalibrationRequest request;
  request.console = &console;
  const run::CalibrationOutcome done = Calibrate(dir.path(), request);
  ASSERT_EQ(done.outcome.exitCode, 0) << console.err;

  Recorder jobConsole;
  run::OpenedJob job((dir.path() / "OPTIM.TXT").string(), &jobConsole);
  EXPECT_NE(jobConsole.out.find(" Header line"), std::string::npos);
  ASSERT_EQ(job.parameters().size(), 2u);
  EXPECT_EQ(job.parameters()[0].name, "Gref");
  EXPECT_EQ(job.parameters()[1].slot, 3);

  // The best point gives the search's own numbers, bit for bit.
  const run::PointEvaluation best = job.Evaluate(done.found->best);
  EXPECT_EQ(best.status, 0);
  EXPECT_EQ(best.objective, done.found->bestObjective);
  EXPECT_EQ(best.meanError, done.found->bestError);
  // A sine above 1 is refused before any simulation, with the penalty.
  const run::PointEvaluation refused = job.Evaluate(std::vector<double>{20000.0, 1.5});
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(refused.reason.empty());
  EXPECT_THROW(job.Evaluate(std::vector<double>{20000.0}), std::invalid_argument);

  // Curves at the start and at the best point are the "_referenced" and
  // "_calculated" files (codes -14 and 5 in the file's order).
  for (const bool atBest : {false, true}) {
    SCOPED_TRACE(atBest ? "best" : "start");
    const run::CurvesAt curves =
        atBest ? job.Curves(std::span<const double>(done.found->best)) : job.Curves(std::nullopt);
    ASSERT_EQ(curves.tests.size(), 1u);
    ASSERT_EQ(curves.tests[0].curves.size(), 1u);
    const run::CurveAt& c = curves.tests[0].curves[0];
    const SimulatedCurve file =
        ReadSimulatedCurve(dir.path() / (atBest ? "Q_EPS.TXT_calculated" : "Q_EPS.TXT_referenced"));
    ASSERT_EQ(c.simulatedX.size(), file.points.size());
    for (std::size_t k = 0; k < file.points.size(); ++k) {
      EXPECT_DOUBLE_EQ(c.simulatedX[k], file.points[k].first);
      EXPECT_DOUBLE_EQ(c.simulatedY[k], file.points[k].second);
    }
    EXPECT_EQ(c.measuredX.size(), c.measuredPhase.size());
    if (atBest) {
      EXPECT_EQ(curves.meanError, done.found->bestError);
    }
  }
}

TEST(OpenedJob, TwoJobsEvaluateAtOnceOnTwoThreadsAsEachDoesAlone) {
  TempDir a, b;
  WriteSmallJob(a.path());
  CopyExample("sand_triaxial", b.path());
  Recorder console;
  run::OpenedJob first((a.path() / "OPTIM.TXT").string(), &console);
  run::OpenedJob second((b.path() / "OPTIM.TXT").string(), &console);
  const std::vector<std::vector<double>> points = {{20000, 0.55}, {30000, 0.6}, {40000, 0.65}};
  std::vector<double> aloneA, aloneB, togetherA, togetherB;
  for (const auto& x : points) {
    aloneA.push_back(first.Evaluate(x).objective);
    aloneB.push_back(second.Evaluate(x).objective);
  }
  std::thread ta([&] {
    for (int r = 0; r < 3; ++r) {
      for (const auto& x : points) togetherA.push_back(first.Evaluate(x).objective);
    }
  });
  std::thread tb([&] {
    for (int r = 0; r < 3; ++r) {
      for (const auto& x : points) togetherB.push_back(second.Evaluate(x).objective);
    }
  });
  ta.join();
  tb.join();
  for (std::size_t k = 0; k < togetherA.size(); ++k) {
    EXPECT_EQ(togetherA[k], aloneA[k % points.size()]);
    EXPECT_EQ(togetherB[k], aloneB[k % points.size()]);
  }
  EXPECT_NE(aloneA, aloneB);  // two different jobs, or the check proves nothing
}

TEST(OpenedJob, MissingFilesAreRunErrorsOfTheirOwnCode) {
  TempDir dir;
  WriteSmallJob(dir.path());
  fs::remove(dir.path() / "Q_EPS.TXT");
  Recorder console;
  try {
    run::OpenedJob job((dir.path() / "OPTIM.TXT").string(), &console);
    FAIL() << "a job without its curve file opened";
  } catch (const services::RunError& error) {
    EXPECT_EQ(error.code, services::kCurveFileNotFound);
  }
}

}  // namespace
}  // namespace soilcal::testing
