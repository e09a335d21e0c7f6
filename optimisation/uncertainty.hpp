// How far to trust each calibrated parameter: standard errors, 95 %
// intervals, correlations and identifiability flags at the best point of a
// search, from the objective's residuals alone (the problem interface).
//
// The objective is a sum of squared weighted relative deviations r_k (one
// per measured point). At the best point x^ the step takes
//  - the Jacobian J of r in coordinates scaled to the bounds,
//    u = (x - lower) / (upper - lower), by central differences with the step
//    kJacobianStep in u (one-sided where a side leaves the box, is not
//    admissible or cannot be simulated): 2 n + 1 evaluations in all;
//  - from the singular value decomposition J = U S V^T the covariance
//    s^2 V S^-2 V^T, with the residual variance s^2 = S(x^) / (m - n) for m
//    residuals and n free parameters (the deviations are taken as
//    independent with one common variance, the weights being the
//    objective's own), the standard errors, the correlation matrix and the
//    condition number of J;
//  - the 95 % interval x^ +- t(0.975; m - n) SE, Student's t because s^2 is
//    estimated from the same m residuals;
//  - optionally the profile likelihood of each parameter: it is stepped
//    away from x^ on both sides, the others re-minimised with NLopt's Sbplx,
//    until the objective reaches S(x^) (1 + F(0.95; 1, m - n) / (m - n)).
//    F(1, m - n) = t(0.975; m - n)^2 is the distribution of the scaled rise
//    of a least-squares objective when one parameter is fixed at its true
//    value (the likelihood-ratio test with the noise estimated from the fit);
//    for residuals linear in the parameters the profile interval is then
//    exactly the linearised one. A side that never reaches the level within
//    the bounds is "not closed": the curves do not determine the parameter
//    there.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "optimisation/problem.hpp"
#include "optimisation/progress.hpp"

namespace soilcal::optimisation {

// Central-difference step of the Jacobian in scaled coordinates: 0.1 % of
// each range. Large enough to stay above the rounding of the simulated
// curves (the step solver converges to a tolerance), small enough that the
// curvature of the response does not bias the slope.
inline constexpr double kJacobianStep = 1e-3;
// |correlation| from which a pair of parameters is reported.
inline constexpr double kCorrelationLimit = 0.95;
// Condition number of the scaled Jacobian from which the fit is reported as
// ill-conditioned: some combination of the parameters then moves the curves
// a thousand times less than the best-determined one.
inline constexpr double kConditionLimit = 1e3;
// Share of the range within which a best value counts as at its bound.
inline constexpr double kNearBoundShare = 0.01;
// Profile evaluations allowed per free parameter (both sides together) for
// n free parameters: 120 n, at least 200.
long ProfileBudget(int n);

enum class FlagKind {
  kNearBound,        // at or within 1 % of the range from a bound
  kInsensitive,      // its Jacobian column is (numerically) zero
  kCorrelated,       // |correlation| >= kCorrelationLimit with `other`
  kIllConditioned,   // loads on the weakest direction of an ill-conditioned fit
  kDerived,          // a slot the model's completion overwrites
  kNotIdentifiable,  // profile not closed, or the interval covers the box
  kNoDerivative,     // neither side of the best value could be simulated
  kSearchShort,      // a profile point fits better than the search's best
  kWall,             // a profile side ends at a model rule or completion, not for want of data
  kClipped,          // the linearised interval was cut to the bounds or the physical range
};

// The key of a flag in the summary: "near_bound", "insensitive", ...
const char* FlagKey(FlagKind kind);

struct UncertaintyFlag {
  FlagKind kind = FlagKind::kNearBound;
  int other = -1;        // kCorrelated: the other parameter (0-based)
  double value = 0.0;    // kCorrelated: the correlation; kIllConditioned: the
                         // condition number; kSearchShort: the better objective
  bool upper = false;    // kNearBound, kWall, kClipped: the upper side
  bool lowOpen = false;  // kNotIdentifiable: sides on which it is not determined
  bool highOpen = false;
  bool fromProfile = false;  // kNotIdentifiable: found by the profile
  bool atWall = false;       // kWall: the best value lies within 1 % of the range from it
  // kClipped (one flag per side cut, `value` the uncut end): cut to the
  // parameter's physical range, which lies inside its bound on that side.
  bool physical = false;
  double limit = 0.0;        // kClipped: where the interval now ends
  // kDerived: what the completion does, in words; kWall: the rule.
  std::string text;
};

// Why a side of a profile ended.
enum class ProfileEnd {
  kClosed,    // the objective reached the 95 % level
  kBound,     // the bound came first: not closed
  kFailed,    // the tests cannot be simulated beyond the last point
  kBudget,    // the side's evaluations ran out
  kAborted,   // the run was aborted
};

struct ProfileSide {
  ProfileEnd end = ProfileEnd::kBound;
  std::optional<double> limit;  // the parameter value where it closed
  // kFailed at a wall: the rule or completion that rejected the next point
  // (a static text) and the last value that passed it.
  const char* wall = nullptr;
  std::optional<double> wallAt;
};

struct ProfileInterval {
  ProfileSide low, high;
  long evaluations = 0;
  double bestObjective = 0.0;      // least objective met on the profile
  std::vector<double> bestPoint;   // where (parameters)
};

struct ParameterUncertainty {
  double value = 0.0;  // best value
  // Standard error in the parameter's units; +inf when the curves do not
  // determine it (a direction without effect), NaN when not known.
  double standardError = 0.0;
  double low95 = 0.0, high95 = 0.0;  // linearised 95 % interval
  std::optional<ProfileInterval> profile;
  std::vector<UncertaintyFlag> flags;
};

struct UncertaintyOptions {
  std::vector<double> lower, upper;  // bounds of the free parameters
  bool profiles = false;             // profile likelihoods as well
  int threads = 0;                   // evaluation threads; 0: all
  std::string abortFlagPath;         // the profiles stop when it appears
  long profileBudget = 0;            // per parameter; 0: ProfileBudget(n)
  double step = kJacobianStep;
  // Per free parameter: what the completion does to its slot, in words;
  // empty when the slot is read as given.
  std::vector<std::string> derived;
  // Per free parameter: the physical range of its slot (a friction sine in
  // 0..1, a stiffness above 0), in the slot's values; empty or infinite
  // ends where none is known. Intervals are cut to it as to the bounds.
  std::vector<double> physicalLow, physicalHigh;
  // Told on the calling thread after the Jacobian (phase kUncertainty,
  // `evaluations` those of the step so far) and after each profile side
  // (kProfiles, `done` of `total` sides).
  ProgressObserver progress;
};

struct UncertaintyResult {
  bool computed = false;
  std::string whyNot;           // in words, when not computed
  int residualCount = 0;        // m: measured points inside the simulated range
  int degreesOfFreedom = 0;     // m - n
  double objective = 0.0;       // S at the best point
  double residualVariance = 0.0;  // s^2 = S / (m - n)
  double tQuantile = 0.0;         // t(0.975; m - n)
  double profileThreshold = 0.0;  // objective that closes a profile
  double conditionNumber = 0.0;   // of the scaled Jacobian; +inf when singular
  std::vector<double> singularValues;
  // Correlation matrix in the order of the free parameters; NaN where a
  // parameter is not determined.
  std::vector<std::vector<double>> correlation;
  std::vector<ParameterUncertainty> parameters;
  double step = kJacobianStep;
  bool profilesRun = false;
  bool aborted = false;
  long jacobianEvaluations = 0;
  long profileEvaluations = 0;
};

// The uncertainty at `best`. Evaluations run on clones of `problem` where it
// gives them, the results taken in a fixed order, so the outcome is the same
// on any number of threads. A kernel error in an evaluation makes that point
// unusable; it never leaves this function.
UncertaintyResult EstimateUncertainty(Problem& problem, std::span<const double> best,
                                      const UncertaintyOptions& options);

// Whether `objective`, met on a profile, lies clearly below the objective
// at the best point: by a twentieth of the 95 % rise of the profiles and
// above rounding. Then the search stopped above the bottom of the valley.
bool ClearlyBetter(const UncertaintyResult& result, double objective);

// The point of least objective that the profiles met, when it is clearly
// better than the best point (ClearlyBetter); nullopt otherwise.
struct BetterPoint {
  std::vector<double> x;
  double objective = 0.0;
};
std::optional<BetterPoint> BetterPointOfProfiles(const UncertaintyResult& result);

}  // namespace soilcal::optimisation
