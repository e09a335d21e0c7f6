// The objective of a parameter vector: every test simulated, every curve
// compared with its measurement.
#include "optimisation/objective.hpp"

#include "labtest/driver.hpp"
#include "labtest/sub_steps.hpp"
#include "models/udsm/link.hpp"
#include "models/udsm/session.hpp"
#include "optimisation/simulated_curves.hpp"
#include "services/diag.hpp"
#include "services/run_services.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::optimisation {

namespace {

void WriteFreeParameters(const input::Job& job, models::PropSoil& prop,
                         std::span<const double> x) {
  const auto& index = job.settings.index;
  for (std::size_t j = 0; j < x.size() && j < index.size(); ++j) prop[index[j]] = x[j];
}

Evaluation Penalty(double value, int status, const char* reason = nullptr) {
  return Evaluation{value, value, status, reason};
}

// Why a test run failed, for the message of a search that found no usable
// point.
const char* RunFailureReason(int status, int model, const models::PropSoil& prop,
                             labtest::StepSolver solver) {
  if (prop[3] > 1.0 || prop[5] > 1.0) return "sin phi or sin psi above 1";
  switch (status) {
    case 1: return "the stress point could not be initialised";
    case 2:
      return model == 6 || model == 19
                 ? "the cap fit of the Hardening Soil model (HS_CapItr) found no cap for E50ref, "
                   "EOedRef and K0nc"
                 : "the parameter completion of the model failed";
    case 3:
      // The sand's failed steps were tried in sub-steps by the fast
      // iteration already: the load itself is what the sample cannot carry.
      if (labtest::CarriesInSubSteps(model)) {
        return "a load step could not be carried, not even in sub-steps by the fast iteration "
               "(the load lies above what the sample can carry with these parameters)";
      }
      return solver == labtest::StepSolver::kFast
                 ? "a load step did not converge"
                 : "a load step did not converge (the fast step solver, --solver=fast, often "
                   "carries such a step)";
    default: return "a test run failed";
  }
}

}  // namespace

std::string TestLabel(std::size_t t, const input::LabTest& test) {
  return "test " + std::to_string(t + 1) + " (" + services::BareName(test.testFile) + ")";
}

labtest::LabTestRun RunTest(labtest::SimulationContext& ctx, const input::LabTest& test,
                            std::size_t t) {
  try {
    labtest::PrepareLabTest(ctx, test);
    return labtest::RunLabTest(ctx);
  } catch (services::KernelAbort& abort) {
    if (abort.where.empty()) abort.where = TestLabel(t, test);
    throw;
  }
}

Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x) {
  return EvaluateObjective(job, ctx, x, nullptr);
}

Evaluation EvaluateObjective(const input::Job& job, labtest::SimulationContext& ctx,
                             std::span<const double> x, std::vector<double>* residuals) {
  if (residuals) residuals->clear();
  WriteFreeParameters(job, ctx.set1.prop, x);
  if (const char* reason = InadmissibleReason(job, ctx.set1.prop, x)) {
    return Penalty(kPenaltyInadmissible, 1, reason);
  }

  Evaluation out;
  std::vector<input::Curve> sim;
  for (std::size_t t = 0; t < job.tests.size(); ++t) {
    const input::LabTest& test = job.tests[t];
    const labtest::LabTestRun run = RunTest(ctx, test, t);
    out.status = run.status;
    if (run.status != 0 && run.status != -3) {
      return Penalty(kPenaltyRunFailed, run.status,
                     RunFailureReason(run.status, ctx.model, ctx.set.prop, ctx.stepSolver));
    }
    const TestFit fit = FitRecordedTest(test, ctx.rec, run.nRecorded, sim, residuals);
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

bool UsesUserModel(const input::Job& job) {
  if (models::udsm::IsUserModel(job.modelNumber % 100)) return true;
  for (const input::LabTest& test : job.tests) {
    if (models::udsm::IsUserModel(test.modelNumber % 100)) return true;
  }
  return false;
}

}  // namespace

JobObjective::JobObjective(const input::Job& job, const models::ModelResources& resources)
    : job_(job), resources_(resources), services_(&services::CurrentServices()) {
  labtest::InitContext(ctx_, job, resources);
  start_ = ctx_.set1;
}

JobObjective::JobObjective(const input::Job& job, const models::ModelResources& resources,
                           const models::MaterialSet& set1)
    : JobObjective(job, resources) {
  start_ = set1;
  StartFromMaterialSet(ctx_, set1);
}

void StartFromMaterialSet(labtest::SimulationContext& ctx, const models::MaterialSet& set1) {
  ctx.set1 = set1;
  ctx.set = set1;
}

Evaluation JobObjective::Evaluate(std::span<const double> x) {
  if (&services::CurrentServices() != services_) {
    services::ServicesBinding binding(*services_);
    return EvaluateObjective(job_, ctx_, x);
  }
  return EvaluateObjective(job_, ctx_, x);
}

ResidualEvaluation JobObjective::EvaluateResiduals(std::span<const double> x) {
  ResidualEvaluation out;
  if (&services::CurrentServices() != services_) {
    services::ServicesBinding binding(*services_);
    out.evaluation = EvaluateObjective(job_, ctx_, x, &out.residuals);
  } else {
    out.evaluation = EvaluateObjective(job_, ctx_, x, &out.residuals);
  }
  // A penalty leaves the terms of the tests before it: none are usable.
  if (out.evaluation.status != 0 || out.evaluation.objective >= kPenaltyInadmissible) {
    out.residuals.clear();
  }
  return out;
}

std::unique_ptr<Problem> JobObjective::Clone() const {
  if (UsesUserModel(job_)) {
    // A session handed in by the caller cannot be shared between threads.
    if (resources_.udsm != nullptr) return nullptr;
    if (!ctx_.udsmSession || !ctx_.udsmSession->parallelCalls) return nullptr;
  }
  auto clone = std::make_unique<JobObjective>(job_, resources_, start_);
  clone->services_ = services_;
  clone->SetStepSolver(stepSolver());
  return clone;
}

bool JobObjective::SetPrecision(Precision precision) {
  SetStepSolver(precision == Precision::kFast ? labtest::StepSolver::kFast
                                              : labtest::StepSolver::kPrescribed);
  return true;
}

bool JobObjective::IsAdmissible(std::span<const double> x) {
  return IsAdmissibleParameterSet(job_, ctx_.set1.prop, x);
}

}  // namespace soilcal::optimisation
