// The fast step solver on the models this program adds to the host's:
// the Sekiguchi-Ohta clays (31, 32) and the UBC3D sand (34) in undrained
// cyclic simple shear, each against a reference run at a tight tolerance;
// and the Hoek-Brown rock (15) on the mixed paths into tension where the
// prescribed iteration stalls, with the message that names the remedy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "labtest/ubc3d_sand.hpp"
#include "models/principal.hpp"
#include "optimisation/objective.hpp"
#include "services/notices.hpp"
#include "services/run_services.hpp"

namespace soilcal::testing {
namespace {

RunOutcome RunWith(labtest::StepSolver solver, const input::Job& job, const input::LabTest& test) {
  RunOutcome out;
  out.ctx = std::make_unique<labtest::SimulationContext>();
  labtest::InitContext(*out.ctx, job, {});
  out.ctx->stepSolver = solver;
  labtest::PrepareLabTest(*out.ctx, test);
  out.run = labtest::RunLabTest(*out.ctx);
  return out;
}

// Largest stress difference of two records over their common points,
// relative to the largest stress of `ref`.
double Difference(const labtest::Recording& a, const labtest::Recording& ref, int n) {
  double largest = 0.0, worst = 0.0;
  for (int k = 1; k <= n; ++k) {
    for (const double v : ref.Point(k).stress) largest = std::max(largest, std::fabs(v));
  }
  for (int k = 1; k <= n; ++k) {
    for (int i = 0; i < 6; ++i) {
      worst = std::max(worst, std::fabs(a.Point(k).stress[i] - ref.Point(k).stress[i]));
    }
  }
  return worst / largest;
}

std::unique_ptr<input::Job> SekiguchiOhtaClay(int model) {
  auto job = MakeJob(model, {.G = 1000.0, .nu = 0.2, .sinPhi = 0.0, .c = 0.0, .sinPsi = 0.0,
                             .porosity = 0.5});
  const std::pair<int, double> slots[] = {
      {31, 1.2}, {37, 0.6}, {38, 0.02}, {39, 0.1}, {40, 0.004}, {41, 1e-3}};
  for (const auto& [slot, value] : slots) job->material.params[slot] = value;
  job->extendedModels = true;
  return job;
}

TEST(FastStepSolverMore, SekiguchiOhtaAndUbcSandAgreeWithATightReferenceAtLeastAsWellAsThePrescribed) {
  struct Case {
    const char* name;
    std::unique_ptr<input::Job> job;
    std::function<input::LabTest(double)> test;
  };
  std::vector<Case> cases;
  for (const int model : {31, 32}) {
    cases.push_back({model == 31 ? "Sekiguchi-Ohta (31)" : "Sekiguchi-Ohta (32)",
                     SekiguchiOhtaClay(model), [model](double tol) {
                       const Phase shear{100, {0, -0.1, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}, 1.0};
                       const Phase back{30, {0, 0.01, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}, 1.0};
                       return MakeTest(model, kIsotropic100, {shear, back}, tol, 200);
                     }});
  }
  // The medium dense sand, K0 0.5, CSR 0.2, 3 cycles: into cyclic mobility.
  cases.push_back({"UBC3D sand (234)", UbcSandJob(234), [](double tol) {
                     return CyclicTest(input::CyclicDirectSimpleShearAtRatio(100, 0.5, 0.2, 3, 20),
                                       tol);
                   }});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    input::LabTest tight = c.test(1e-9);
    tight.maxIterations = 5000;
    const RunOutcome ref = RunWith(labtest::StepSolver::kFast, *c.job, tight);
    const RunOutcome prescribed = RunWith(labtest::StepSolver::kPrescribed, *c.job, c.test(0.0025));
    const RunOutcome fast = RunWith(labtest::StepSolver::kFast, *c.job, c.test(0.0025));
    ASSERT_EQ(ref.run.status, 0);
    ASSERT_EQ(fast.run.status, 0);
    ASSERT_EQ(prescribed.run.status, 0);
    const int n = ref.run.nRecorded;
    ASSERT_EQ(fast.run.nRecorded, n);
    const double dFast = Difference(fast.ctx->rec, ref.ctx->rec, n);
    const double dPrescribed = Difference(prescribed.ctx->rec, ref.ctx->rec, n);
    // Within 1 % of the largest stress of the test, and never much farther
    // from the reference than the prescribed iteration.
    EXPECT_LT(dFast, 0.01);
    EXPECT_LE(dFast, 1.5 * dPrescribed + 1e-6) << dFast << " " << dPrescribed;
    EXPECT_LE(fast.ctx->solverStats.iterations, prescribed.ctx->solverStats.iterations);
  }
}

// Hoek-Brown rock masses of the review (kN, m): sigma_ci, GSI, mi, D;
// G 4 GPa, nu 0.25, dilatancy 10 degrees up to 20 MPa of confinement.
std::unique_ptr<input::Job> Rock(double sci, double gsi, double mi, double D) {
  auto job = MakeJob(15, {.G = 4.0e6, .nu = 0.25, .sinPhi = 0.0, .c = 0.0, .sinPsi = 0.0});
  auto& p = job->material.params;
  const std::pair<int, double> slots[] = {{31, sci}, {32, mi}, {33, gsi}, {36, D},
                                          {48, 10.0}, {49, 20000.0}};
  for (const auto& [slot, value] : slots) p[slot] = value;
  return job;
}

struct HbPath {
  const char* name;
  std::unique_ptr<input::Job> job;
  input::LabTest test;
};

std::vector<HbPath> TensionPaths() {
  const Phase stretch{10, {0, 1e-3, 0, 0, 0, 0}, {}, {1, 0, 1, 1, 1, 1}};
  const Phase shear{10, {0, 0, 0, 0.01, 0, 0}, {}, {0, 1, 0, 0, 1, 1}};
  const Phase plane{50, {0, -0.01, 0, 0, 0, 0}, {}, {1, 0, 0, 1, 1, 1}};
  std::vector<HbPath> paths;
  paths.push_back({"extension from 0", Rock(60000, 56.2, 16, 0.3),
                   MakeTest(15, {0, 0, 0, 0, 0, 0}, {stretch}, 0.0025, 200)});
  paths.push_back({"simple shear from 0", Rock(60000, 56.2, 16, 0.3),
                   MakeTest(15, {0, 0, 0, 0, 0, 0}, {shear}, 0.0025, 200)});
  paths.push_back({"extension from -100.5", Rock(60000, 56.2, 16, 0.3),
                   MakeTest(15, {-100.5, -100.5, -100.5, 0, 0, 0}, {stretch}, 0.0025, 200)});
  paths.push_back({"plane strain from -168.5", Rock(150000, 70.7, 27.4, 1.0),
                   MakeTest(15, {-168.5, -168.5, -168.5, 0, 0, 0}, {plane}, 0.0025, 200)});
  return paths;
}

TEST(FastStepSolverMore, HoekBrownMixedPathsIntoTensionCompleteOnOrInsideTheCriterion) {
  for (HbPath& c : TensionPaths()) {
    SCOPED_TRACE(c.name);
    const RunOutcome fast = RunWith(labtest::StepSolver::kFast, *c.job, c.test);
    ASSERT_EQ(fast.run.status, 0) << labtest::DescribeRun(fast.run, true);
    ASSERT_EQ(fast.run.nRecorded, c.test.capacity);
    // The completed set's mb, s, a and the cut-off decide admissibility.
    const models::PropSoil& p = fast.ctx->set.prop;
    const double sci = p[31], mb = p[45], s = p[46], a = p[47], cut = p[41] * s * sci / mb;
    for (int k = 1; k <= fast.run.nRecorded; ++k) {
      const Vec3 ps = models::PrincipalStresses(fast.ctx->rec.Point(k).stress).s;
      const double major = -ps[0], minor = -ps[2];  // compression positive
      const double strength = sci * std::pow(std::max(mb * minor / sci + s, 0.0), a);
      // 1e-6 sci: the return solves the criterion to round-off, the step
      // its free components to the tolerance.
      EXPECT_LE(major - minor - strength, 1e-6 * sci) << k;
      EXPECT_LE(-minor, cut + 1e-6 * sci) << k;
    }
    // Where the prescribed iteration gives up, its message says so in
    // words with the error and the limit, and names the fast solver.
    const RunOutcome prescribed = RunWith(labtest::StepSolver::kPrescribed, *c.job, c.test);
    if (prescribed.run.status == 3) {
      const std::string text = labtest::DescribeRun(prescribed.run, false);
      EXPECT_NE(text.find("did not converge"), std::string::npos) << text;
      EXPECT_NE(text.find("--solver=fast"), std::string::npos) << text;
      EXPECT_NE(text.find("above the limit 0.0625"), std::string::npos) << text;
      EXPECT_GT(prescribed.run.failure.error, prescribed.run.failure.limit);
      EXPECT_EQ(prescribed.run.failure.iterations, 200);
    }
  }
  // With an iteration limit of 6 the prescribed iteration cannot carry the
  // plastic steps of the plane-strain path while the fast one can: the
  // run stops with status 3 and a sentence with the error, the limit, the
  // point and the remedy; the fast run completes.
  HbPath plane = std::move(TensionPaths().back());
  plane.test.maxIterations = 6;
  const RunOutcome stalled = RunWith(labtest::StepSolver::kPrescribed, *plane.job, plane.test);
  ASSERT_EQ(stalled.run.status, 3);
  const labtest::StepFailure& f = stalled.run.failure;
  EXPECT_EQ(f.point, stalled.run.nRecorded + 1);
  EXPECT_EQ(f.iterations, 6);
  EXPECT_GT(f.error, f.limit);
  EXPECT_DOUBLE_EQ(f.limit, 25.0 * 0.0025);
  const std::string text = labtest::DescribeRun(stalled.run, false);
  EXPECT_NE(text.find("Load step " + std::to_string(f.step) + " of phase 1 (point " +
                      std::to_string(f.point)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("did not converge"), std::string::npos) << text;
  EXPECT_NE(text.find("--solver=fast"), std::string::npos) << text;
  // Asked with the fast solver already on, the remedy is not offered again.
  EXPECT_EQ(labtest::DescribeRun(stalled.run, true).find("--solver=fast"), std::string::npos);
  EXPECT_EQ(RunWith(labtest::StepSolver::kFast, *plane.job, plane.test).run.status, 0);

  // In a calibration run the same sentence is among the run's warnings,
  // with the test and its curves named, and a search point that stalls
  // there is refused with the remedy in its reason.
  services::RunServices run;
  services::ServicesBinding binding(run);
  plane.job->tests.push_back(plane.test);
  plane.job->tests.back().testFile = "PLANE.VLT";
  labtest::SimulationContext ctx;
  labtest::InitContext(ctx, *plane.job, {});
  optimisation::WriteSimulatedCurves(*plane.job, ctx, {}, "_referenced", true);
  const std::vector<services::LoggedWarning> warnings = services::RunWarnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].kind, "step_not_converged");
  EXPECT_EQ(warnings[0].text.rfind("test 1 (PLANE.VLT), curves _referenced: Load step " +
                                       std::to_string(f.step) + " of phase 1",
                                   0),
            0u)
      << warnings[0].text;
  for (const char* part : {"did not converge: its error", "stayed above the limit 0.0625",
                           "after 6 iterations", "--solver=fast"}) {
    EXPECT_NE(warnings[0].text.find(part), std::string::npos) << part << "\n" << warnings[0].text;
  }
  EXPECT_EQ(warnings[0].text.find('\n'), std::string::npos);
  const optimisation::Evaluation e = optimisation::EvaluateObjective(*plane.job, ctx, {});
  EXPECT_EQ(e.status, 3);
  ASSERT_NE(e.reason, nullptr);
  EXPECT_NE(std::string(e.reason).find("--solver=fast"), std::string::npos) << e.reason;
  // The fast solver carries the test: no warning from its curves.
  ctx.stepSolver = labtest::StepSolver::kFast;
  optimisation::WriteSimulatedCurves(*plane.job, ctx, {}, "_calculated", true);
  EXPECT_EQ(services::RunWarnings().size(), 1u);
}

}  // namespace
}  // namespace soilcal::testing
