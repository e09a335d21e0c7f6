// The uncertainty estimate through the real objective: a linear-elastic job
// whose residuals are linear in G (closed-form estimate, standard error and
// profile, with curves of different lengths weighted as the objective
// weights them), a Mohr-Coulomb job whose dilatancy angle has no effect on
// its deviator curves, and the same numbers on one and on two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "optimisation/objective.hpp"
#include "optimisation/uncertainty.hpp"
#include "tests/labtest/lab_records.hpp"

namespace soilcal::optimisation {
namespace {

constexpr double kNu = 0.3;

// Deviator q (code 5) against axial compression (code -14) at recorded
// points 2.. of a run of `test`, each value scaled by 1 + `scatter` sin(...)
// so that the fit is not exact.
input::Curve DeviatorCurve(const input::Job& job, const input::LabTest& test, double scatter,
                           int every = 1) {
  const testing::RunOutcome out = testing::Simulate(job, test);
  input::Curve c;
  c.xCode = -14;
  c.yCode = 5;
  c.nSegments = 1;
  for (int k = 2; k <= out.run.nRecorded; k += every) {
    c.x.push_back(input::CurveQuantity(out.ctx->rec.Point(k), c.xCode));
    const double q = input::CurveQuantity(out.ctx->rec.Point(k), c.yCode);
    c.y.push_back(q * (1.0 + scatter * std::sin(7.0 * k + 3.0 * test.initialStress[0])));
  }
  c.nPoints = static_cast<int>(c.x.size());
  c.segmentSizes = {c.nPoints};
  return c;
}

// Triaxial tests at the given cell pressures, `steps` load steps each, with
// their measured deviator curves; the free slots and bounds as given.
input::Job TriaxialJob(std::unique_ptr<input::Job> material, const std::vector<double>& cells,
                       const std::vector<int>& steps, double axialStrain, double scatter,
                       std::vector<int> slots, std::vector<double> lower,
                       std::vector<double> upper) {
  input::Job job = *material;
  job.projectFolder = "./";
  for (std::size_t i = 0; i < cells.size(); ++i) {
    input::LabTest t =
        testing::TriaxialCompression(job.modelNumber, axialStrain, steps[i], 1e-9, cells[i]);
    t.curves = {DeviatorCurve(job, t, scatter)};
    t.nCurves = 1;
    t.curveFiles = {"./Q" + std::to_string(i) + ".TXT"};
    job.tests.push_back(std::move(t));
  }
  job.settings = {static_cast<int>(slots.size()), 1, 1e-4, std::move(slots), std::move(lower),
                  std::move(upper)};
  return job;
}

UncertaintyOptions OptionsOf(const input::Job& job, bool profiles, int threads) {
  UncertaintyOptions o;
  o.lower = job.settings.lower;
  o.upper = job.settings.upper;
  o.profiles = profiles;
  o.threads = threads;
  return o;
}

bool Has(const ParameterUncertainty& p, FlagKind kind) {
  for (const UncertaintyFlag& f : p.flags) {
    if (f.kind == kind) return true;
  }
  return false;
}

TEST(UncertaintyOfAJob, LinearElasticStiffnessHasTheClosedFormErrorAndProfile) {
  // Drained triaxial of a linear-elastic soil: q = 2 G (1 + nu) eps exactly,
  // so the residual of point k, w (y_k - q_k) / y_k with w = 1/sqrt(N) of
  // its curve, is w - G a_k, a_k = w 2 (1 + nu) eps_k / y_k: linear in G.
  // Curves of 10 and 20 points give different weights.
  const input::Job job =
      TriaxialJob(testing::MakeJob(101, {.G = 10000.0, .nu = kNu}), {100.0, 200.0}, {10, 20},
                  -0.01, 0.01, {1}, {1000.0}, {50000.0});
  double sumWa = 0.0, sumAa = 0.0;
  std::vector<double> w, a;
  for (const input::LabTest& t : job.tests) {
    const input::Curve& c = t.curves[0];
    for (int k = 0; k < c.nPoints; ++k) {
      w.push_back(1.0 / std::sqrt(static_cast<double>(c.nPoints)));
      a.push_back(w.back() * 2.0 * (1.0 + kNu) * c.x[k] / c.y[k]);
      sumWa += w.back() * a.back();
      sumAa += a.back() * a.back();
    }
  }
  const double G = sumWa / sumAa;
  double S = 0.0;
  for (std::size_t k = 0; k < w.size(); ++k) S += std::pow(w[k] - G * a[k], 2);
  const double se = std::sqrt(S / 29.0 / sumAa);

  JobObjective objective(job, models::ModelResources{});
  const std::vector<double> best{G};
  // The terms are the objective's: their squares sum to it.
  const ResidualEvaluation terms = objective.EvaluateResiduals(best);
  ASSERT_EQ(terms.residuals.size(), 30u);
  double sum = 0.0;
  for (double r : terms.residuals) sum += r * r;
  EXPECT_NEAR(sum, objective.Evaluate(best).objective, 1e-14);
  EXPECT_NEAR(sum, S, 1e-12 * S);

  const UncertaintyResult r = EstimateUncertainty(objective, best, OptionsOf(job, true, 1));
  ASSERT_TRUE(r.computed) << r.whyNot;
  EXPECT_EQ(r.residualCount, 30);
  // The step solver reproduces the linear response to about 1e-9.
  EXPECT_NEAR(r.parameters[0].standardError, se, 1e-5 * se);
  const double half = r.tQuantile * se;
  EXPECT_NEAR(r.parameters[0].low95, G - half, 1e-4 * half);
  ASSERT_TRUE(r.parameters[0].profile && r.parameters[0].profile->low.limit &&
              r.parameters[0].profile->high.limit);
  // Linear residuals: the profile closes at the linearised ends (within 2 %
  // of the half-width, the accuracy at which a crossing is taken).
  EXPECT_NEAR(*r.parameters[0].profile->low.limit, G - half, 0.02 * half);
  EXPECT_NEAR(*r.parameters[0].profile->high.limit, G + half, 0.02 * half);
  EXPECT_TRUE(r.parameters[0].flags.empty());
}

// Mohr-Coulomb sand (G 10 MPa, phi 30 deg, psi 10 deg) at 100 and 200 kPa to
// 5 % axial strain, deviator curves with 1 % scatter.
input::Job SandJob(std::vector<int> slots, std::vector<double> lower, std::vector<double> upper) {
  return TriaxialJob(testing::MakeJob(102), {100.0, 200.0}, {25, 25}, -0.05, 0.01,
                     std::move(slots), std::move(lower), std::move(upper));
}

TEST(UncertaintyOfAJob, DilatancyAngleWithoutEffectOnDeviatorCurvesIsFlagged) {
  // Past failure a perfectly plastic deviator stays at its strength whatever
  // the dilatancy; before it the response is elastic.
  const input::Job job = SandJob({1, 3, 5}, {2000.0, 0.3, 0.0}, {40000.0, 0.7, 0.4});
  JobObjective objective(job, models::ModelResources{});
  const std::vector<double> at{10000.0, 0.5, std::sin(10.0 * M_PI / 180.0)};
  const UncertaintyResult r = EstimateUncertainty(objective, at, OptionsOf(job, false, 1));
  ASSERT_TRUE(r.computed) << r.whyNot;
  const ParameterUncertainty& psi = r.parameters[2];
  EXPECT_TRUE(Has(psi, FlagKind::kInsensitive));
  EXPECT_TRUE(Has(psi, FlagKind::kNotIdentifiable));
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE(j);
    EXPECT_TRUE(std::isfinite(r.parameters[j].standardError));
    EXPECT_FALSE(Has(r.parameters[j], FlagKind::kInsensitive));
    EXPECT_FALSE(Has(r.parameters[j], FlagKind::kNotIdentifiable));
    // 1 % scatter on 48 points: G and sin phi to well under 5 %.
    EXPECT_LT(r.parameters[j].standardError, 0.05 * at[j]);
  }
}

TEST(UncertaintyOfAJob, OneAndTwoThreadsGiveTheSameNumbers) {
  const input::Job job = SandJob({1, 3}, {2000.0, 0.3}, {40000.0, 0.7});
  const std::vector<double> at{10300.0, 0.49};
  UncertaintyResult one, two;
  {
    JobObjective objective(job, models::ModelResources{});
    one = EstimateUncertainty(objective, at, OptionsOf(job, true, 1));
  }
  {
    JobObjective objective(job, models::ModelResources{});
    two = EstimateUncertainty(objective, at, OptionsOf(job, true, 2));
  }
  ASSERT_TRUE(one.computed && two.computed);
  EXPECT_EQ(one.profileEvaluations, two.profileEvaluations);
  EXPECT_EQ(one.conditionNumber, two.conditionNumber);
  EXPECT_EQ(one.correlation, two.correlation);
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE(j);
    const ParameterUncertainty &a = one.parameters[j], &b = two.parameters[j];
    EXPECT_EQ(a.standardError, b.standardError);
    ASSERT_TRUE(a.profile && b.profile);
    EXPECT_EQ(a.profile->low.limit, b.profile->low.limit);
    EXPECT_EQ(a.profile->high.limit, b.profile->high.limit);
    EXPECT_EQ(a.profile->evaluations, b.profile->evaluations);
    EXPECT_EQ(a.flags.size(), b.flags.size());
    // The profile interval holds the point it started from.
    EXPECT_LT(a.profile->low.limit.value_or(-1e300), at[j]);
    EXPECT_GT(a.profile->high.limit.value_or(1e300), at[j]);
  }
}

}  // namespace
}  // namespace soilcal::optimisation

namespace soilcal::optimisation {
namespace {

// The job's objective, counting its evaluations at each precision; clones
// count into the same totals.
class PrecisionCount : public Problem {
 public:
  struct Totals {
    std::atomic<long> exact{0}, fast{0};
  };
  PrecisionCount(std::unique_ptr<Problem> inner, Totals& totals)
      : inner_(std::move(inner)), totals_(totals) {}
  Evaluation Evaluate(std::span<const double> x) override {
    ++(fast_ ? totals_.fast : totals_.exact);
    return inner_->Evaluate(x);
  }
  bool IsAdmissible(std::span<const double> x) override { return inner_->IsAdmissible(x); }
  ResidualEvaluation EvaluateResiduals(std::span<const double> x) override {
    ++(fast_ ? totals_.fast : totals_.exact);
    return inner_->EvaluateResiduals(x);
  }
  std::unique_ptr<Problem> Clone() const override {
    auto clone = std::make_unique<PrecisionCount>(inner_->Clone(), totals_);
    clone->fast_ = fast_;
    return clone;
  }
  bool SetPrecision(Precision p) override {
    fast_ = p == Precision::kFast;
    return inner_->SetPrecision(p);
  }

 private:
  std::unique_ptr<Problem> inner_;
  Totals& totals_;
  bool fast_ = false;
};

TEST(FastProfiles, CloseWhereTheExactOnesCloseMostlyOnTheFastSolverAndLeaveTheProblemExact) {
  const input::Job job = SandJob({1, 3}, {2000.0, 0.3}, {40000.0, 0.7});
  const std::vector<double> at{10300.0, 0.49};
  UncertaintyResult exact, fast, fastTwo;
  {
    JobObjective objective(job, models::ModelResources{});
    exact = EstimateUncertainty(objective, at, OptionsOf(job, true, 1));
  }
  PrecisionCount::Totals counted;
  PrecisionCount objective(std::make_unique<JobObjective>(job, models::ModelResources{}),
                           counted);
  UncertaintyOptions o = OptionsOf(job, true, 1);
  o.fastProfiles = true;
  fast = EstimateUncertainty(objective, at, o);
  {
    JobObjective other(job, models::ModelResources{});
    o.threads = 2;
    fastTwo = EstimateUncertainty(other, at, o);
  }
  ASSERT_TRUE(exact.computed && fast.computed);
  // The walks went out on the fast solver: the exact evaluations are the
  // Jacobian's and those where a profile closes.
  EXPECT_EQ(counted.exact.load() + counted.fast.load(),
            fast.jacobianEvaluations + fast.profileEvaluations);
  EXPECT_GT(counted.fast.load(), 2 * counted.exact.load())
      << counted.fast.load() << " fast, " << counted.exact.load() << " exact";
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE(j);
    const auto &e = *exact.parameters[j].profile, &f = *fast.parameters[j].profile;
    ASSERT_EQ(e.low.end, ProfileEnd::kClosed);
    ASSERT_EQ(f.low.end, ProfileEnd::kClosed);
    ASSERT_EQ(e.high.end, ProfileEnd::kClosed);
    ASSERT_EQ(f.high.end, ProfileEnd::kClosed);
    // Both refine the crossing to 2 % of the level's rise on the exact
    // objective; the ends agree within a twentieth of the interval.
    const double width = *e.high.limit - *e.low.limit;
    EXPECT_NEAR(*f.low.limit, *e.low.limit, 0.05 * width);
    EXPECT_NEAR(*f.high.limit, *e.high.limit, 0.05 * width);
    // Threads change no number of the fast profiles either.
    EXPECT_EQ(f.low.limit, fastTwo.parameters[j].profile->low.limit);
    EXPECT_EQ(f.high.limit, fastTwo.parameters[j].profile->high.limit);
  }
  // The problem evaluates exactly again: the same objective as a fresh one.
  JobObjective fresh(job, models::ModelResources{});
  EXPECT_EQ(objective.Evaluate(at).objective, fresh.Evaluate(at).objective);
}

}  // namespace
}  // namespace soilcal::optimisation
