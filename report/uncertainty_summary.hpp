// The uncertainty of the calibrated parameters as the summary and the report
// carry it: numbers in the units of the calibrated values (the slot's own,
// sin φ for the friction angle), flags with a plain sentence each.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace soilcal::report {

struct UncertaintyFlagSummary {
  std::string kind;  // near_bound, insensitive, correlated, ill_conditioned, derived,
                     // not_identifiable, no_derivative, search_short, wall,
                     // interval_clipped
  std::string text;  // the sentence for the engineer
};

struct ProfileSummary {
  // The ends of the profile interval; nullopt where it does not close within
  // the bounds.
  std::optional<double> low, high;
};

struct ParameterUncertaintySummary {
  std::optional<double> standardError;  // none: not determined by the curves
  std::optional<std::pair<double, double>> interval95;  // linearised
  std::optional<ProfileSummary> profile;  // none: profiles not run
  std::vector<UncertaintyFlagSummary> flags;
};

struct UncertaintySummary {
  bool computed = false;
  std::string note;                 // why it was not computed
  std::vector<std::string> order;   // parameter names, the order of the matrix
  // Correlations; none where a parameter is not determined.
  std::vector<std::vector<std::optional<double>>> correlation;
  std::optional<double> conditionNumber;  // none: singular
  int residualCount = 0;
  int degreesOfFreedom = 0;
  std::optional<double> residualVariance;
  std::optional<double> tQuantile;
  std::optional<double> profileThreshold;  // none: profiles not run
  double step = 0.0;                       // finite-difference step, share of each range
  long evaluations = 0;                    // Jacobian and profiles
  long profileEvaluations = 0;
  // The job's unit names, for showing the values ("kN", "m", "day").
  std::string forceUnit, lengthUnit, timeUnit;
};

}  // namespace soilcal::report
