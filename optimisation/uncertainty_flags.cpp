// The flags of each parameter: what an engineer must know before trusting
// its value and interval.
#include <algorithm>
#include <cmath>
#include <optional>

#include "optimisation/uncertainty_parts.hpp"

namespace soilcal::optimisation {
namespace {

// A column this much smaller than the largest moves the curves by rounding
// only, and one whose whole range moves the residuals by less than this
// share of their standard deviation s leaves them as they are (the step
// solver's tolerance alone makes the columns of such parameters differ from
// zero): the parameter has no effect on the curves.
constexpr double kInsensitiveShare = 1e-6;
constexpr double kInsensitiveToNoise = 1e-3;
// A parameter with this share of the weakest direction of an ill-conditioned
// fit is one of those the curves leave nearly free.
constexpr double kWeakShare = 0.3;

UncertaintyFlag Flag(FlagKind kind) {
  UncertaintyFlag f;
  f.kind = kind;
  return f;
}

void Add(ParameterUncertainty& p, UncertaintyFlag flag) { p.flags.push_back(std::move(flag)); }

void NearBound(const UncertaintyOptions& o, std::size_t j, ParameterUncertainty& p) {
  const double range = o.upper[j] - o.lower[j];
  if (!(range > 0.0)) return;
  UncertaintyFlag f = Flag(FlagKind::kNearBound);
  if (p.value - o.lower[j] <= kNearBoundShare * range) {
    Add(p, f);
  } else if (o.upper[j] - p.value <= kNearBoundShare * range) {
    f.upper = true;
    Add(p, f);
  }
}

std::vector<bool> Insensitive(const ScaledJacobian& jac, double residualVariance) {
  const auto n = static_cast<std::size_t>(jac.J.cols());
  double largest = 0.0;
  for (std::size_t j = 0; j < n; ++j) largest = std::max(largest, jac.J.col(static_cast<Eigen::Index>(j)).norm());
  std::vector<bool> out(n, false);
  for (std::size_t j = 0; j < n; ++j) {
    const double norm = jac.J.col(static_cast<Eigen::Index>(j)).norm();
    const bool belowNoise = std::isfinite(residualVariance) &&
                            norm <= kInsensitiveToNoise * std::sqrt(residualVariance);
    out[j] = jac.hasColumn[j] && (norm == 0.0 || norm <= kInsensitiveShare * largest || belowNoise);
  }
  return out;
}

// Ill-conditioning among the parameters that do move the curves (one
// without effect is flagged as insensitive, and would make every fit look
// singular): flags on those with a large share of the weakest direction.
void IllConditioned(const ScaledJacobian& jac, const std::vector<bool>& insensitive,
                    UncertaintyResult& out) {
  std::vector<Eigen::Index> kept;
  for (std::size_t j = 0; j < insensitive.size(); ++j) {
    if (!insensitive[j] && jac.hasColumn[j]) kept.push_back(static_cast<Eigen::Index>(j));
  }
  if (kept.size() < 2 || jac.J.rows() < static_cast<Eigen::Index>(kept.size())) return;
  Eigen::MatrixXd reduced(jac.J.rows(), static_cast<Eigen::Index>(kept.size()));
  for (std::size_t c = 0; c < kept.size(); ++c) reduced.col(static_cast<Eigen::Index>(c)) = jac.J.col(kept[c]);
  Eigen::JacobiSVD<Eigen::MatrixXd> svd(reduced, Eigen::ComputeFullV);
  const Eigen::VectorXd& sigma = svd.singularValues();
  const double weakest = sigma(sigma.size() - 1);
  const double condition = weakest > 0.0 ? sigma(0) / weakest : INFINITY;
  if (!(condition > kConditionLimit)) return;
  const Eigen::VectorXd direction = svd.matrixV().col(svd.matrixV().cols() - 1);
  for (std::size_t c = 0; c < kept.size(); ++c) {
    if (std::abs(direction(static_cast<Eigen::Index>(c))) < kWeakShare) continue;
    UncertaintyFlag f = Flag(FlagKind::kIllConditioned);
    f.value = condition;
    Add(out.parameters[static_cast<std::size_t>(kept[c])], f);
  }
}

// Not determined by the curves: a profile side with room that never closes,
// or without profiles a linearised interval that covers the whole box.
void NotIdentifiable(const UncertaintyOptions& o, std::size_t j, ParameterUncertainty& p) {
  const double range = o.upper[j] - o.lower[j];
  UncertaintyFlag f = Flag(FlagKind::kNotIdentifiable);
  if (p.profile) {
    auto open = [&](const ProfileSide& side, double bound) {
      const bool atBound = std::abs(bound - p.value) <= kNearBoundShare * range;
      // A side stopped by a wall (a model rule, the completion) is no lack
      // of data: it is flagged as a wall instead.
      const bool failed = side.end == ProfileEnd::kFailed && side.wall == nullptr;
      return !atBound && (side.end == ProfileEnd::kBound || failed ||
                          side.end == ProfileEnd::kBudget);
    };
    f.fromProfile = true;
    f.lowOpen = open(p.profile->low, o.lower[j]);
    f.highOpen = open(p.profile->high, o.upper[j]);
  } else if (std::isinf(p.standardError) || (p.low95 <= o.lower[j] && p.high95 >= o.upper[j])) {
    f.lowOpen = f.highOpen = true;
  }
  if (f.lowOpen || f.highOpen) Add(p, f);
}

// A profile side that ends where a model rule or the completion rejects
// the next value: the parameter is held there by the other parameters the
// rule reads, not determined by the curves.
void Walls(const UncertaintyOptions& o, std::size_t j, ParameterUncertainty& p) {
  if (!p.profile) return;
  const double range = o.upper[j] - o.lower[j];
  for (const bool upper : {false, true}) {
    const ProfileSide& side = upper ? p.profile->high : p.profile->low;
    if (side.end != ProfileEnd::kFailed || side.wall == nullptr || !side.wallAt) continue;
    UncertaintyFlag f = Flag(FlagKind::kWall);
    f.upper = upper;
    f.text = side.wall;
    f.value = *side.wallAt;
    // Within 1 % of the range from the wall: the search stopped at it.
    f.atWall = std::abs(p.value - *side.wallAt) <= kNearBoundShare * range;
    Add(p, f);
  }
}

// The linearised interval cut to the bounds and to the parameter's physical
// range (a native job's bounds may reach beyond it): one flag per side cut,
// saying which limit cut it.
void Clip(const UncertaintyOptions& o, std::size_t j, ParameterUncertainty& p) {
  if (!std::isfinite(p.low95) || !std::isfinite(p.high95)) return;
  const auto physical = [](const std::vector<double>& v, std::size_t k) {
    return k < v.size() && std::isfinite(v[k]) ? std::optional<double>(v[k]) : std::nullopt;
  };
  const std::optional<double> low = physical(o.physicalLow, j);
  const std::optional<double> high = physical(o.physicalHigh, j);
  const bool lowPhysical = low && *low > o.lower[j];
  const bool highPhysical = high && *high < o.upper[j];
  const double lowLimit = lowPhysical ? *low : o.lower[j];
  const double highLimit = highPhysical ? *high : o.upper[j];
  if (p.low95 < lowLimit) {
    UncertaintyFlag f = Flag(FlagKind::kClipped);
    f.lowOpen = true;
    f.value = p.low95;
    f.limit = lowLimit;
    f.physical = lowPhysical;
    p.low95 = lowLimit;
    Add(p, f);
  }
  if (p.high95 > highLimit) {
    UncertaintyFlag f = Flag(FlagKind::kClipped);
    f.highOpen = true;
    f.upper = true;
    f.value = p.high95;
    f.limit = highLimit;
    f.physical = highPhysical;
    p.high95 = highLimit;
    Add(p, f);
  }
}

}  // namespace

const char* FlagKey(FlagKind kind) {
  switch (kind) {
    case FlagKind::kNearBound: return "near_bound";
    case FlagKind::kInsensitive: return "insensitive";
    case FlagKind::kCorrelated: return "correlated";
    case FlagKind::kIllConditioned: return "ill_conditioned";
    case FlagKind::kDerived: return "derived";
    case FlagKind::kNotIdentifiable: return "not_identifiable";
    case FlagKind::kNoDerivative: return "no_derivative";
    case FlagKind::kSearchShort: return "search_short";
    case FlagKind::kWall: return "wall";
    case FlagKind::kClipped: return "interval_clipped";
  }
  return "";
}

bool ClearlyBetter(const UncertaintyResult& result, double objective) {
  if (!std::isfinite(result.profileThreshold)) return false;
  const double rise = result.profileThreshold - result.objective;
  return result.objective - objective >
         std::max({0.05 * rise, 1e-6 * result.objective, 1e-14});
}

std::optional<BetterPoint> BetterPointOfProfiles(const UncertaintyResult& result) {
  std::optional<BetterPoint> better;
  for (const ParameterUncertainty& p : result.parameters) {
    if (!p.profile || p.profile->bestPoint.empty()) continue;
    if (!ClearlyBetter(result, p.profile->bestObjective)) continue;
    if (better && !(p.profile->bestObjective < better->objective)) continue;
    better = BetterPoint{p.profile->bestPoint, p.profile->bestObjective};
  }
  return better;
}

void SetFlags(const ScaledJacobian& jac, const UncertaintyOptions& o, UncertaintyResult& out) {
  const std::size_t n = out.parameters.size();
  const std::vector<bool> insensitive = Insensitive(jac, out.residualVariance);
  for (std::size_t j = 0; j < n; ++j) {
    ParameterUncertainty& p = out.parameters[j];
    if (j < o.derived.size() && !o.derived[j].empty()) {
      UncertaintyFlag f = Flag(FlagKind::kDerived);
      f.text = o.derived[j];
      Add(p, f);
    }
    NearBound(o, j, p);
    if (!jac.hasColumn[j]) Add(p, Flag(FlagKind::kNoDerivative));
    if (insensitive[j]) Add(p, Flag(FlagKind::kInsensitive));
    for (std::size_t k = 0; k < n; ++k) {
      const double rho = out.correlation[j][k];
      if (k != j && std::isfinite(rho) && std::abs(rho) >= kCorrelationLimit) {
        UncertaintyFlag f = Flag(FlagKind::kCorrelated);
        f.other = static_cast<int>(k);
        f.value = rho;
        Add(p, f);
      }
    }
  }
  IllConditioned(jac, insensitive, out);
  for (std::size_t j = 0; j < n; ++j) {
    ParameterUncertainty& p = out.parameters[j];
    NotIdentifiable(o, j, p);
    Walls(o, j, p);
    Clip(o, j, p);
    // A profile point clearly below the best objective: the search stopped
    // above the bottom of the valley.
    if (p.profile && !p.profile->bestPoint.empty()) {
      if (ClearlyBetter(out, p.profile->bestObjective)) {
        UncertaintyFlag f = Flag(FlagKind::kSearchShort);
        f.value = p.profile->bestObjective;
        Add(p, f);
      }
    }
  }
}

}  // namespace soilcal::optimisation
