// The steps of the uncertainty estimate, shared by its files: the scaled
// Jacobian, the linearised statistics, the profiles and the flags.
#pragma once

#include <span>
#include <vector>

#include <Eigen/Dense>

#include "optimisation/parallel_batch.hpp"
#include "optimisation/uncertainty.hpp"

namespace soilcal::optimisation {

struct ScaledJacobian {
  bool usable = false;            // the best point gave residuals
  Evaluation atBest;
  std::vector<double> residuals;  // at the best point; NaN outside the range
  // Rows: the residuals inside the simulated range at the best point;
  // columns: d r / d u_j, u the coordinates scaled to the bounds.
  Eigen::MatrixXd J;
  std::vector<bool> hasColumn;    // false: neither side could be simulated
  long evaluations = 0;
};

// The residuals at `best` and their central differences (2 n + 1
// evaluations at most), evaluated as one batch on the pool.
ScaledJacobian JacobianAtBest(ProblemPool& pool, std::span<const double> best,
                              const UncertaintyOptions& options);

// What the linearised statistics leave for the profiles and the flags.
struct LinearModel {
  // (J^T J)^-1 in scaled coordinates over the determined directions;
  // rows and columns of undetermined parameters are NaN.
  Eigen::MatrixXd inverse;
  std::vector<bool> determined;  // not loading on a direction without effect
  std::vector<double> scaledError;  // standard error in scaled coordinates (inf: none)
};

// Standard errors, intervals, correlations and the condition number into
// `out` (parameters, residualCount, ...); the scaled inverse for the rest.
LinearModel LinearisedStatistics(const ScaledJacobian& jacobian, std::span<const double> best,
                                 const UncertaintyOptions& options, UncertaintyResult& out);

// The profile likelihood of every parameter, both sides as independent tasks
// on the pool, into out.parameters[j].profile.
void ProfileLikelihoods(ProblemPool& pool, std::span<const double> best,
                        const UncertaintyOptions& options, const LinearModel& linear,
                        UncertaintyResult& out);

// The flags of every parameter from the Jacobian, the statistics and the
// profiles.
void SetFlags(const ScaledJacobian& jacobian, const UncertaintyOptions& options,
              UncertaintyResult& out);

}  // namespace soilcal::optimisation
