// User-defined models through the whole lab-test driver: the example
// library's Mohr-Coulomb model against the built-in model 2, the state
// variables of a library across load steps, and every library failure
// ending in its kernel error.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "lab_records.hpp"
#include "models/udsm_test_helpers.hpp"

namespace soilcal::testing {
namespace {

TEST(UserModelDriver, TwoEvaluationsOnTwoThreadsGiveThePointsOfOneAlone) {
  services::SetVirtualLabMode(1);
  const auto user = UserJob(121, "usermod.dll");
  const input::LabTest test = TriaxialCompression(121, -0.05, 100);
  const RunOutcome alone = Simulate(*user, test);
  ASSERT_EQ(alone.run.status, 0);
  RunOutcome a, b;
  std::thread ta([&] { a = Simulate(*user, test); });
  std::thread tb([&] { b = Simulate(*user, test); });
  ta.join();
  tb.join();
  // Identical, not merely close: the library is called with the same inputs.
  EXPECT_EQ(a.ctx->rec.stress, alone.ctx->rec.stress);
  EXPECT_EQ(b.ctx->rec.stress, alone.ctx->rec.stress);
  EXPECT_EQ(b.ctx->rec.strain, alone.ctx->rec.strain);
}

std::unique_ptr<input::Job> ProbeJob(double nStat, double failure = 0, double abortValue = 0) {
  auto job = MakeJob(121);
  job->material.name = "udsm_probe.dll";
  const std::pair<int, double> paramsSlots[] = {
      {31, 10000.0}, {32, 0.25}, {33, nStat}, {39, failure}, {40, abortValue}};  // 31: E; 32: nu
  for (const auto& [slot, value] : paramsSlots) job->material.params[slot] = value;
  return job;
}

TEST(UserModelDriver, TasksComeInOrderAndStateVariablesCarryOverSteps) {
  services::SetVirtualLabMode(1);
  const models::udsm::testing::Probe probe("udsm_probe64.dll");
  ASSERT_TRUE(probe.ok());
  probe.Reset();
  const auto job = ProbeJob(2);
  const int steps = 5;
  const RunOutcome out = Simulate(*job, TriaxialCompression(121, -0.001, steps));
  ASSERT_EQ(out.run.status, 0);
  const auto calls = probe.Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(models::udsm::testing::Tasks(calls, 3), (std::vector<int>{4, 5, 1}));
  int stressCalls = 0, afterSteps = 0;
  for (std::size_t k = 3; k < calls.size(); ++k) {
    const ProbeRecord& r = calls[k];
    EXPECT_TRUE(r.IDTask == 2 || r.IDTask == 3 || r.IDTask == 6) << "call " << k;
    if (r.IDTask == 2) {
      ++stressCalls;
      // StVar is handed in as StVar0, which holds one count per committed step.
      EXPECT_EQ(r.StVarIn[0], r.StVar0[0]);
      EXPECT_EQ(r.StVar0[0], static_cast<double>(afterSteps));
    }
    if (r.IDTask == 6) {
      ++afterSteps;
      EXPECT_EQ(calls[k - 1].IDTask, 2);  // after the last iteration of a step
    }
  }
  EXPECT_EQ(afterSteps, steps);
  EXPECT_GE(stressCalls, 2 * steps);  // at least two iterations per step
  EXPECT_EQ(calls.back().IDTask, 6);
  for (int i : {0, 1}) EXPECT_EQ(out.ctx->point.stVar0[models::kModelStateOffset + i], steps) << i;
}

// Runs `job` expecting the kernel error `number` (and its `message`, if given).
void ExpectKernelError(const input::Job& job, int number, const char* message = nullptr) {
  try {
    Simulate(job, TriaxialCompression(121, -0.01, 10));
    ADD_FAILURE() << "the run ended without kernel error " << number;
  } catch (const services::KernelAbort& e) {
    EXPECT_EQ(e.number, number);
    if (message) {
      EXPECT_EQ(e.message, message);
    }
  }
}

// A library without entry points and a crashing library are checked at the
// call level (udsm_call_test.cpp); here the driver's kernel errors.
TEST(UserModelDriver, EveryLibraryFailureEndsInItsKernelError) {
  services::SetVirtualLabMode(1);
  auto missing = ProbeJob(0);
  missing->material.name = "nosuchlib.dll";
  ExpectKernelError(*missing, 26);
  ExpectKernelError(*ProbeJob(0, 1, 5), 247, "Abort request from USER-subroutine !\r\niAbort=5");
  ExpectKernelError(*ProbeJob(0, 2), 247, "Abort request from MODUSR3D-subroutine !\r\niAbort=1");
  ExpectKernelError(*ProbeJob(5000), 247,
                    "Invalid number of state variables from UDSM-DLL, set 1\r\nnStat=5000");
}

}  // namespace
}  // namespace soilcal::testing
