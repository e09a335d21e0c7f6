// A search that finds no usable starting point for a long time says so once
// on standard error, with the count, and goes on as before; one stopped in
// that state reports that its best point was never evaluated.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "analytic_problems.hpp"
#include "optimisation/pswarm.hpp"
#include "support/files.hpp"

namespace soilcal::optimisation {
namespace {

using Clock = std::chrono::steady_clock;

// Every point fails (as a job whose bounds hold no admissible value). Once
// `abortAfter` has passed since its first evaluation it creates the abort
// file, which the search sees within 100 ms.
class NeverUsable : public Problem {
 public:
  NeverUsable(std::filesystem::path abortFile, std::chrono::milliseconds abortAfter)
      : abortFile_(std::move(abortFile)), abortAfter_(abortAfter) {}
  Evaluation Evaluate(std::span<const double>) override {
    const auto now = Clock::now();
    if (calls_++ == 0) start_ = now;
    if (!written_ && now - start_ > abortAfter_) {
      soilcal::testing::WriteFile(abortFile_, "");
      written_ = true;
    }
    return {1e21, 1e21, 1, "no admissible value"};
  }
  bool IsAdmissible(std::span<const double>) override { return false; }

 private:
  std::filesystem::path abortFile_;
  std::chrono::milliseconds abortAfter_;
  Clock::time_point start_;
  long calls_ = 0;
  bool written_ = false;
};

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(PSwarm, SaysOnceWhenNoStartingPointIsUsableForAWhileAndGoesOn) {
  soilcal::testing::TempDir dir;
  SwarmOptions o = testing::Box({0.0}, {1.0}, 1e-3, 3);  // intensity 3: up to 10^8 draws
  o.quietStartSeconds = 0.1;
  o.abortFlagPath = (dir.path() / "AbortCalc").string();
  // The abort comes 0.8 s after the notice is due: the search kept drawing.
  NeverUsable never(o.abortFlagPath, std::chrono::milliseconds(900));
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const SwarmResult r = PSwarm(o, never);
  const std::string err = ::testing::internal::GetCapturedStderr();
  ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(r.exitStatus, 18);
  EXPECT_FALSE(r.bestEvaluated);
  EXPECT_EQ(Count(err, "soilcal: no usable starting point yet after 0.1 s: all "), 1) << err;
  EXPECT_NE(err.find(" points drawn so far failed; most frequent reason: no admissible value ("),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("up to 100000001 points"), std::string::npos) << err;
  // The count is of the points drawn by then: some, and fewer than in all.
  const std::size_t at = err.find("all ") + 4;
  const long told = std::stol(err.substr(at));
  EXPECT_GT(told, 0);
  EXPECT_LT(told, r.evaluations);

  // A search whose first point is usable never says it, and its best point
  // is an evaluated one.
  testing::FunctionProblem usable({0.0}, {1.0},
                                  [](auto x, long) { return Evaluation{x[0], x[0], 0}; });
  SwarmOptions quick = testing::Box({0.0}, {1.0});
  quick.quietStartSeconds = 0.0;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const SwarmResult fine = PSwarm(quick, usable);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(fine.bestEvaluated);
}

}  // namespace
}  // namespace soilcal::optimisation
