// The objective of a parameter vector: every test simulated, every curve
// compared with its measurement.
#include "optimisation/objective.hpp"

#include "labtest/driver.hpp"
#include "models/udsm/session.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/diag.hpp"
#include "services/run_services.hpp"

namespace soilcal::optimisation {

namespace {

void WriteFreeParameters(const input::Job& job, models::PropSoil& prop,
                         std::span<const double> x) {
  const auto& index = job.settings.index;
  for (std::size_t j = 0; j < x.size() && j < index.size(); ++j) prop[index[j]] = x[j];
}

Evaluation Penalty(double value, int status) { return Evaluation{value, value, status}; }

}  // namespace

Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x) {
  WriteFreeParameters(job, ctx.set1.prop, x);
  if (!IsAdmissibleParameterSet(job, ctx.set1.prop, x)) return Penalty(kPenaltyInadmissible, 1);

  Evaluation out;
  std::vector<input::Curve> sim;
  for (const input::LabTest& test : job.tests) {
    labtest::PrepareLabTest(ctx, test);
    const labtest::LabTestRun run = labtest::RunLabTest(ctx);
    out.status = run.status;
    if (run.status != 0 && run.status != -3) return Penalty(kPenaltyRunFailed, run.status);
    const TestFit fit = FitRecordedTest(test, ctx.rec, run.nRecorded, sim);
    if (fit.smallOverlap) return Penalty(kPenaltySmallOverlap, out.status);
    out.objective += fit.objective;
    out.error += fit.error;
  }
  // The objective is a sum over the tests, the error a mean.
  if (!job.tests.empty()) out.error /= static_cast<double>(job.tests.size());
  if (services::Diag().on()) {
    services::Diag().Line("EvaluateObjective x", x);
    services::Diag().Line("objective", out.objective);
    services::Diag().Line("mean error", out.error);
  }
  return out;
}

namespace {

bool IsUserModel(int modelNumber) {
  const int base = modelNumber % 100;
  return base >= 21 && base <= 30;
}

bool UsesUserModel(const input::Job& job) {
  if (IsUserModel(job.modelNumber)) return true;
  for (const input::LabTest& test : job.tests) {
    if (IsUserModel(test.modelNumber)) return true;
  }
  return false;
}

}  // namespace

JobObjective::JobObjective(const input::Job& job, const models::ModelResources& resources)
    : job_(job), resources_(resources), services_(&services::CurrentServices()) {
  labtest::InitContext(ctx_, job, resources);
}

Evaluation JobObjective::Evaluate(std::span<const double> x) {
  if (&services::CurrentServices() != services_) {
    services::ServicesBinding binding(*services_);
    return EvaluateObjective(job_, ctx_, x);
  }
  return EvaluateObjective(job_, ctx_, x);
}

std::unique_ptr<Problem> JobObjective::Clone() const {
  if (UsesUserModel(job_)) {
    // A session handed in by the caller cannot be shared between threads.
    if (resources_.udsm != nullptr) return nullptr;
    if (!ctx_.udsmSession || !ctx_.udsmSession->parallelCalls) return nullptr;
  }
  auto clone = std::make_unique<JobObjective>(job_, resources_);
  clone->services_ = services_;
  clone->ctx_.set1 = ctx_.set1;
  return clone;
}

bool JobObjective::IsAdmissible(std::span<const double> x) {
  return IsAdmissibleParameterSet(job_, ctx_.set1.prop, x);
}

}  // namespace soilcal::optimisation
