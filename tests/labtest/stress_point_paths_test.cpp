// The stress-point loop has two routes to the model: with the diagnostic
// channel off the lean one (no reference stress, no accuracy check, the call
// filled straight from the point), with it on the dispatcher with everything
// the diagnostics read. Both must simulate every model to the same bits.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "labtest/lab_records.hpp"
#include "labtest/ubc3d_sand.hpp"
#include "models/core_test_helpers.hpp"

namespace soilcal::testing {
namespace {

struct Case {
  std::string name;
  std::unique_ptr<input::Job> job;
  input::LabTest test;
};

// With the small-strain stiffness (model 19) and a cohesion, as a sand.
const HsParams kHs{.c = 5.0, .g0ref = 75000.0, .gamma07 = 1e-4};

// Simple shear from a K0 state: lateral strains held, vertical stress
// held, shear strain prescribed; the principal axes rotate.
input::LabTest SimpleShear(int modelNumber) {
  const Phase shear{40, {0, 0, 0, 0.04, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  return MakeTest(modelNumber, {-50, -100, -50, 0, 0, 0}, {shear}, 0.0025);
}

// Oedometer loading and unloading.
input::LabTest Oedometer(int modelNumber) {
  const Phase load{30, {}, {0, -300.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 30.0};
  const Phase unload{10, {}, {0, 200.0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0}, 10.0};
  return MakeTest(modelNumber, {-60, -100, -60, 0, 0, 0}, {load, unload}, 0.0025);
}

int DifferingBits(const Vec6& a, const Vec6& b) {
  int n = 0;
  for (int i = 0; i < 6; ++i) {
    n += std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i]);
  }
  return n;
}

TEST(StressPointPaths, LeanAndDiagnosticRoutesSimulateEveryModelToTheSameBits) {
  const models::testing::CapLibrary cap;
  ASSERT_NE(cap.res.capItr, nullptr);
  const models::ModelResources& res = cap.res;

  std::vector<Case> cases;
  cases.push_back({"Mohr-Coulomb triaxial", MakeJob(102), TriaxialCompression(102, -0.05, 40, 0.0025)});
  cases.push_back({"Mohr-Coulomb simple shear", MakeJob(102), SimpleShear(102)});
  cases.push_back({"Hardening Soil triaxial", HsJob(106, kHs), TriaxialCompression(106, -0.1, 40, 0.0025)});
  cases.push_back({"Hardening Soil simple shear", HsJob(106, kHs), SimpleShear(106)});
  cases.push_back({"small-strain stiffness triaxial", HsJob(119, kHs), TriaxialCompression(119, -0.05, 40, 0.0025)});
  cases.push_back({"soft soil triaxial", SoftClayJob(104), TriaxialCompression(104, -0.1, 40, 0.0025)});
  cases.push_back({"Cam-Clay oedometer", SoftClayJob(105), Oedometer(105)});
  cases.push_back({"creep oedometer", SoftClayJob(108), Oedometer(108)});
  cases.push_back({"user model triaxial", UserJob(121, "usermod.dll"), TriaxialCompression(121, -0.05, 40, 0.0025)});
  cases.push_back({"UBC3D sand cyclic simple shear", UbcSandJob(234),
                   CyclicTest(input::CyclicDirectSimpleShearAtRatio(100, 0.5, 0.2, 3, 10))});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunOutcome lean = Simulate(*c.job, c.test, res);
    RunOutcome full;
    {
      models::testing::DiagCapture diag;
      full = Simulate(*c.job, c.test, res);
    }
    ASSERT_EQ(lean.run.status, 0);
    ASSERT_EQ(full.run.status, 0);
    const labtest::Recording& a = lean.ctx->rec;
    const labtest::Recording& b = full.ctx->rec;
    ASSERT_EQ(a.nRecorded, b.nRecorded);
    ASSERT_GT(a.nRecorded, 30);
    int differing = 0;
    for (int k = 1; k <= a.nRecorded; ++k) {
      differing += DifferingBits(a.Point(k).stress, b.Point(k).stress);
      differing += DifferingBits(a.Point(k).strain, b.Point(k).strain);
      differing += a.Point(k).pw != b.Point(k).pw;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(lean.ctx->totalIterations, full.ctx->totalIterations);
    // The last update reached the model's return on both routes; only the
    // diagnostic one ran the accuracy check.
    EXPECT_EQ(lean.ctx->counters.plastic, full.ctx->counters.plastic);
    EXPECT_EQ(lean.ctx->counters.sumWt, 0.0);
    if (full.ctx->counters.plastic > 0) {
      EXPECT_GT(full.ctx->counters.sumWt, 0.0);
    }
  }
}

}  // namespace
}  // namespace soilcal::testing
