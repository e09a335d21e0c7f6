// Which model fits: several calibrations of the same tests, each a finished
// run with its summary and curves, ranked by an information criterion that
// charges every free parameter.
//
// The objective S of a run is the sum of m squared weighted relative
// deviations (y - s)/y / sqrt(N_c C_t), m the measured points compared. Taken
// as independent Gaussian deviations of one unknown variance, estimated as
// S/m, the maximised log-likelihood is -m/2 ln(S/m) plus terms that are the
// same for every model of the same points (the weights and 2 pi). Hence
//   AIC = m ln(S/m) + 2k,   BIC = m ln(S/m) + k ln m,
// k the free parameters. The models are ranked by BIC; two whose BIC differ
// by less than 2 cannot be told apart by these tests.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/summary.hpp"

namespace soilcal::report {

inline constexpr const char* kComparisonJsonName = "comparison.json";
inline constexpr const char* kComparisonReportName = "comparison_report.html";
// Models whose BIC differ by less than this cannot be told apart.
inline constexpr double kIndistinguishableBic = 2.0;
// The smallest S/m taken: a relative deviation of 1e-6 in every point, far
// below any measurement, keeps the logarithm finite on a perfect fit.
inline constexpr double kVarianceFloor = 1e-12;

struct Criteria {
  double aic = 0.0;
  double bic = 0.0;
};

// AIC and BIC of a fit of objective S over m points with k free parameters.
Criteria InformationCriteria(double objective, int points, int freeParameters);

struct ComparedModel {
  std::string name;                // as the comparison names it
  std::string label;               // short: the folder's name
  std::string folder;              // its job folder, as comparison.json gives it
  std::optional<Summary> summary;  // none: the run left no summary
  JobCurves curves;                // measured and simulated curves of its folder
  // Why a model has no fit, or what to know of it ("" when nothing); a
  // note given with a model without a summary is kept.
  std::string note;

  // Filled by RankModels.
  bool fitted = false;             // a calibrated point to compare
  int freeParameters = 0;          // k
  int points = 0;                  // m
  std::optional<double> objective, meanError;
  std::optional<Criteria> criteria;
  int rank = 0;                    // by BIC, 1 the best; models without a fit last
  int objectiveRank = 0;           // by the objective alone
};

struct Comparison {
  std::string title;                 // the job file, or the jobs compared
  std::vector<ComparedModel> models; // in rank order
  std::string criterion = "bic";     // the field the ranking used
  // The models whose BIC lies within kIndistinguishableBic of the best one's
  // (the best one included), when there are two or more.
  std::vector<std::string> indistinguishable;
  bool pointsDiffer = false;         // the models compared different numbers of points
  std::string verdict;               // the plain sentences
  // The whole comparison: one part per model run here (a reused run costs
  // next to nothing), then the comparison itself.
  std::optional<RunTimes> runTimes = std::nullopt;
};

// Ranks the models (each with its summary read) and writes the verdict.
Comparison CompareModels(std::string title, std::vector<ComparedModel> models);

// The error of test `t` at the calibrated point: the mean of its curves'
// errors, as the mean relative error is the mean over the tests; none when
// a curve has no error there.
std::optional<double> TestError(const TestSummary& test);

// A calibrated parameter of a compared model as a person reads it: in the
// unit shown (degrees for an angle stored as its sine), with its 95 %
// intervals from the uncertainty step and the kinds of its flags.
struct ShownParameter {
  std::string name;    // the summary's name (the TOML name, or the result file's key)
  std::string symbol;  // "φ", "E50ref"
  std::string words;   // "friction angle"
  std::string unit;    // "°", "kPa", "" dimensionless
  int slot = 0;
  std::optional<double> best;
  std::optional<std::pair<double, double>> interval95;  // linearised
  bool profiles = false;                          // a profile interval was found
  std::optional<double> profileLow, profileHigh;  // none: not closed on that side
  std::vector<std::string> flags;
};
std::vector<ShownParameter> ShownParameters(const Summary& summary);

// comparison.json: models by rank with their figures and free parameters.
std::string ComparisonJson(const Comparison& comparison);
// comparison_report.html: one self-contained page.
std::string RenderComparisonReport(const Comparison& comparison);

}  // namespace soilcal::report
