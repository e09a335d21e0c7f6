// Profile likelihoods. One side of one parameter is one task: the parameter
// is stepped away from its best value in scaled coordinates, the others
// re-minimised with NLopt's Sbplx from where the previous step left them
// (moved along the linearised regression on the stepped parameter), until
// the objective reaches the 95 % level. The square root of the rise above
// the best objective is nearly linear in the step (exactly so for residuals
// linear in the parameters), so each new step aims at the level by linear
// extrapolation, and the crossing is found by regula falsi on that root.
// The tasks share nothing, so they run at once on the pool's clones and give
// the same numbers on any number of threads.
//
// With fastProfiles the walk runs on the problem's fast evaluation, its
// levels measured from the fast objective at the best point; where a step
// passes the level, the points that bracket and refine the crossing (each
// re-minimised on the fast evaluation) have their levels evaluated exactly,
// so that the crossing lies on the exact objective. A fast point below the
// best is evaluated exactly before it counts as a better fit.
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>

#include <nlopt.h>

#include "optimisation/swarm_state.hpp"
#include "optimisation/uncertainty_parts.hpp"
#include "services/errors.hpp"

namespace soilcal::optimisation {
namespace {

constexpr double kUnusableLevel = 1e21;  // a penalty or a failed point
constexpr int kRefinements = 2;          // profile points that refine a crossing, at most
constexpr double kLevelAccuracy = 0.02;  // of the level, where a crossing is taken
// A re-fit's objective is resolved to this share of the 95 % rise: an error
// e in it moves the level sqrt(S - S0) at the crossing by e / 2 of the level,
// a tenth of kLevelAccuracy.
constexpr double kRefitResolution = 0.1 * 2.0 * kLevelAccuracy;
// Evaluations per re-fitted parameter without such a fall that end a re-fit.
constexpr double kRefitPatience = 8.0;

struct OptDeleter {
  void operator()(nlopt_opt opt) const { nlopt_destroy(opt); }
};
using Optimizer = std::unique_ptr<std::remove_pointer_t<nlopt_opt>, OptDeleter>;

// One side of one parameter, walking on its own problem.
class SideWalk {
 public:
  SideWalk(Problem& problem, std::span<const double> best, const UncertaintyOptions& o,
           const LinearModel& linear, const UncertaintyResult& stats, std::size_t j, int side,
           long budget)
      : problem_(problem), o_(o), linear_(linear), j_(j), side_(side), budget_(budget),
        abort_(o.abortFlagPath), n_(best.size()), s0_(stats.objective), exactS0_(stats.objective),
        target_(std::sqrt(std::max(stats.profileThreshold - stats.objective, 0.0))) {
    u0_.resize(n_);
    for (std::size_t k = 0; k < n_; ++k) u0_[k] = (best[k] - o.lower[k]) / Range(k);
    bestObjective_ = s0_;
  }

  ProfileSide Walk();
  long evaluations() const { return evaluations_; }
  double bestObjective() const { return bestObjective_; }
  const std::vector<double>& bestPoint() const { return bestPoint_; }

 private:
  struct Point {
    double delta = 0.0;           // distance from the best value, scaled
    double level = 0.0;           // sqrt(S - S0)
    std::vector<double> u;        // the re-minimised point
    bool usable = true;
  };

  double Range(std::size_t k) const { return o_.upper[k] - o_.lower[k]; }
  double Level(double s) const { return std::sqrt(std::max(s - s0_, 0.0)); }
  Point At(double delta, const Point& from);
  double Evaluate(std::span<const double> u);
  void CheckExactly(const std::vector<double>& x);
  bool StartFast();
  ProfileSide WalkOut();
  ProfileSide Cross(Point lo, Point hi);
  void ExactLevel(Point& p);
  static double Objective(unsigned n, const double* v, double* grad, void* data);
  // The tests cannot be simulated beyond `delta`: at a wall when a model
  // rule or the completion rejected the last point.
  ProfileSide Failed(double delta) const {
    ProfileSide side{ProfileEnd::kFailed, std::nullopt};
    if (lastRejection_ != nullptr) {
      side.wall = lastRejection_;
      side.wallAt = o_.lower[j_] + (u0_[j_] + side_ * delta) * Range(j_);
    }
    return side;
  }
  ProfileSide Closed(double delta) const {
    return ProfileSide{ProfileEnd::kClosed, o_.lower[j_] + (u0_[j_] + side_ * delta) * Range(j_)};
  }

  Problem& problem_;
  const UncertaintyOptions& o_;
  const LinearModel& linear_;
  std::size_t j_;
  int side_;
  long budget_;
  AbortWatch abort_;
  std::size_t n_;
  double s0_;                // objective at the best point, as the walk evaluates now
  double exactS0_;           // the same, exact
  double target_;
  bool fast_ = false;        // walking on the fast evaluation
  double fastBest_ = 0.0;    // lowest fast objective seen
  std::vector<double> u0_;
  long evaluations_ = 0;
  bool aborted_ = false;
  double bestObjective_;
  std::vector<double> bestPoint_;
  // The point Sbplx moves: u_[j_] held at the step, the others its variables.
  std::vector<double> u_;
  std::exception_ptr failure_;
  nlopt_opt running_ = nullptr;
  // The running re-fit: its least objective, the evaluations since it last
  // fell by `refitResolution_`, and how many it may take so.
  double refitBest_ = 0.0;
  double refitResolution_ = 0.0;
  int refitStall_ = 0;
  int refitPatience_ = 0;
  // The last point that could not be evaluated: a model rule or the
  // model's completion rejecting it is a wall, not a lack of data.
  const char* lastRejection_ = nullptr;
};

// A point rejected by a model rule (inadmissible for a reason other than
// the bounds) or by the model's completion (status 2: the Hardening Soil
// cap fit, say).
bool IsWall(const Evaluation& e) {
  if (e.reason == nullptr) return false;
  if (e.status == 2) return true;
  return e.status == 1 && std::string_view(e.reason) != "a free parameter outside its bounds";
}

double SideWalk::Evaluate(std::span<const double> u) {
  if (evaluations_ >= budget_) return kUnusableLevel;
  std::vector<double> x(n_);
  for (std::size_t k = 0; k < n_; ++k) x[k] = o_.lower[k] + std::clamp(u[k], 0.0, 1.0) * Range(k);
  ++evaluations_;
  Evaluation e{kUnusableLevel, kUnusableLevel, 1};
  try {
    e = problem_.Evaluate(x);
  } catch (const services::KernelAbort&) {
    // A kernel error: the point is unusable, the walk goes on.
  }
  if (abort_.Requested()) aborted_ = true;
  if (e.status != 0) lastRejection_ = IsWall(e) ? e.reason : nullptr;
  if (e.status != 0 || !(e.objective < kUnusableLevel)) return kUnusableLevel;
  if (fast_) {
    // Lower by a share of the 95 % rise that Sbplx resolves, not by the
    // round-off in which the fast and exact evaluations differ.
    if (e.objective < fastBest_ - 1e-3 * target_ * target_) {
      fastBest_ = e.objective;
      CheckExactly(x);
    }
  } else if (e.objective < bestObjective_) {
    bestObjective_ = e.objective;
    bestPoint_ = x;
  }
  return e.objective;
}

// A fast point lower than any before: only its exact objective may make it
// the better fit.
void SideWalk::CheckExactly(const std::vector<double>& x) {
  if (evaluations_ >= budget_) return;
  ++evaluations_;
  problem_.SetPrecision(Precision::kExact);
  Evaluation e{kUnusableLevel, kUnusableLevel, 1};
  try {
    e = problem_.Evaluate(x);
  } catch (const services::KernelAbort&) {
  }
  problem_.SetPrecision(Precision::kFast);
  if (e.status == 0 && e.objective < bestObjective_) {
    bestObjective_ = e.objective;
    bestPoint_ = x;
  }
}

// Switches the walk to the fast evaluation, its levels measured from the
// fast objective at the best point; false when the problem has none, the
// best point fails on it or its objective there is too far off the exact.
bool SideWalk::StartFast() {
  if (!o_.fastProfiles || !problem_.SetPrecision(Precision::kFast)) return false;
  fast_ = true;
  fastBest_ = -kUnusableLevel;  // no exact checks while the start is measured
  const double s = Evaluate(u0_);
  // Where the fast and exact objectives differ by more than a hundredth of
  // the rise that closes a profile (a nearly exact fit, whose rise is
  // tiny), the fast walk would misplace the crossing: the walk stays exact.
  if (!(s < kUnusableLevel) || std::abs(s - exactS0_) > 0.01 * target_ * target_) {
    fast_ = false;
    problem_.SetPrecision(Precision::kExact);
    return false;
  }
  s0_ = s;
  fastBest_ = s;
  return true;
}

// Where the profile closes: the level of a point the fast walk minimised,
// evaluated exactly and measured from the exact best objective.
void SideWalk::ExactLevel(Point& p) {
  if (!fast_ || p.delta <= 0.0 || !p.usable) return;  // delta 0: the best point, level 0
  fast_ = false;
  problem_.SetPrecision(Precision::kExact);
  const double s = Evaluate(p.u);
  problem_.SetPrecision(Precision::kFast);
  fast_ = true;
  p.usable = s < kUnusableLevel;
  p.level = std::sqrt(std::max(s - exactS0_, 0.0));
}

double SideWalk::Objective(unsigned, const double* v, double*, void* data) {
  auto& walk = *static_cast<SideWalk*>(data);
  std::size_t i = 0;
  for (std::size_t k = 0; k < walk.n_; ++k) {
    if (k != walk.j_) walk.u_[k] = v[i++];
  }
  double s = kUnusableLevel;
  try {
    s = walk.Evaluate(walk.u_);
  } catch (...) {
    walk.failure_ = std::current_exception();  // never unwound through C
    nlopt_force_stop(walk.running_);
  }
  if (walk.aborted_ || walk.evaluations_ >= walk.budget_) nlopt_force_stop(walk.running_);
  // A re-fit that has not lowered the objective by a share of the rise that
  // moves the interval's end for a while has found the profile's point: on
  // the fast solver Sbplx would go on chasing the scatter of its rounding.
  if (s < walk.refitBest_ - walk.refitResolution_) {
    walk.refitBest_ = s;
    walk.refitStall_ = 0;
  } else if (++walk.refitStall_ >= walk.refitPatience_) {
    nlopt_force_stop(walk.running_);
  }
  return s;
}

// The profile point at `delta`: the others re-minimised, started from the
// previous point moved along the regression of each on the stepped one.
SideWalk::Point SideWalk::At(double delta, const Point& from) {
  Point p;
  p.delta = delta;
  p.u = from.u;
  const double du = side_ * (delta - from.delta);
  p.u[j_] = std::clamp(u0_[j_] + side_ * delta, 0.0, 1.0);
  const double jj = linear_.inverse(static_cast<Eigen::Index>(j_), static_cast<Eigen::Index>(j_));
  for (std::size_t k = 0; k < n_; ++k) {
    if (k == j_) continue;
    const double kj = linear_.inverse(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(j_));
    if (std::isfinite(kj) && jj > 0.0) p.u[k] = std::clamp(p.u[k] + kj / jj * du, 0.0, 1.0);
  }
  double s = kUnusableLevel;
  if (n_ == 1) {
    s = Evaluate(p.u);
  } else {
    u_ = p.u;
    const auto others = static_cast<unsigned>(n_ - 1);
    Optimizer opt(nlopt_create(NLOPT_LN_SBPLX, others));
    std::vector<double> v, step;
    for (std::size_t k = 0; k < n_; ++k) {
      if (k == j_) continue;
      v.push_back(p.u[k]);
      // About the linearised standard error of each, within sensible limits.
      const double e = linear_.scaledError[k];
      step.push_back(std::isfinite(e) ? std::clamp(2.0 * e, 1e-4, 0.1) : 0.1);
    }
    running_ = opt.get();
    refitBest_ = kUnusableLevel;
    refitResolution_ = kRefitResolution * target_ * target_;
    refitStall_ = 0;
    refitPatience_ = static_cast<int>(kRefitPatience * others);
    nlopt_set_lower_bounds1(opt.get(), 0.0);
    nlopt_set_upper_bounds1(opt.get(), 1.0);
    nlopt_set_min_objective(opt.get(), Objective, this);
    nlopt_set_initial_step(opt.get(), step.data());
    nlopt_set_maxeval(opt.get(), static_cast<int>(20 + 20 * others));
    // The rise is what matters: resolve it to a small share of the 95 % rise.
    const double rise = target_ * target_;
    if (rise > 0.0) nlopt_set_ftol_abs(opt.get(), kRefitResolution * rise);
    nlopt_set_ftol_rel(opt.get(), 1e-10);
    nlopt_set_xtol_rel(opt.get(), 1e-7);
    nlopt_optimize(opt.get(), v.data(), &s);
    running_ = nullptr;
    if (failure_) std::rethrow_exception(failure_);
    std::size_t i = 0;
    for (std::size_t k = 0; k < n_; ++k) {
      if (k != j_) p.u[k] = v[i++];
    }
    // Sbplx may end on a forced stop before its first evaluation came back.
    if (!(s < kUnusableLevel)) s = kUnusableLevel;
  }
  p.usable = s < kUnusableLevel;
  p.level = Level(s);
  return p;
}

ProfileSide SideWalk::Walk() {
  // The problem evaluates exactly again however the walk ends.
  struct ExactAfter {
    Problem& problem;
    bool on;
    ~ExactAfter() {
      if (on) problem.SetPrecision(Precision::kExact);
    }
  } exactAfter{problem_, StartFast()};
  return WalkOut();
}

ProfileSide SideWalk::WalkOut() {
  const double room = side_ > 0 ? 1.0 - u0_[j_] : u0_[j_];
  if (!(room > 1e-12)) return ProfileSide{ProfileEnd::kBound, std::nullopt};
  Point last;
  last.u = u0_;
  // The linearised prediction of the crossing, t SE = sqrt(S* - S0) times
  // sqrt((J^T J)^-1_jj) in scaled coordinates, is the first step.
  const double jj = linear_.inverse(static_cast<Eigen::Index>(j_), static_cast<Eigen::Index>(j_));
  const double predicted = target_ * std::sqrt(jj);
  double delta = std::isfinite(predicted) && predicted > 0.0 ? std::clamp(predicted, 1e-6, room)
                                                             : std::min(0.1, room);
  for (;;) {
    if (aborted_) return ProfileSide{ProfileEnd::kAborted, std::nullopt};
    if (evaluations_ >= budget_) return ProfileSide{ProfileEnd::kBudget, std::nullopt};
    Point p = At(delta, last);
    if (aborted_) return ProfileSide{ProfileEnd::kAborted, std::nullopt};
    if (!p.usable) {
      // Tests that cannot be simulated: close in on where they start failing.
      if (delta - last.delta < 1e-3 * room) return Failed(last.delta);
      delta = 0.5 * (last.delta + delta);
      continue;
    }
    if (target_ > 0.0 && p.level >= (1.0 - kLevelAccuracy) * target_) {
      ExactLevel(p);
      if (aborted_) return ProfileSide{ProfileEnd::kAborted, std::nullopt};
      if (!p.usable) {
        // Simulated on the fast solver only: close in on where the tests
        // stop running, as for a point that fails on both.
        if (delta - last.delta < 1e-3 * room) return Failed(last.delta);
        delta = 0.5 * (last.delta + delta);
        continue;
      }
      if (p.level >= (1.0 - kLevelAccuracy) * target_) return Cross(std::move(last), std::move(p));
      // Above the level on the fast solver only: the walk goes on exactly measured.
    }
    if (delta >= room) return ProfileSide{ProfileEnd::kBound, std::nullopt};
    // Aim at the level along the line through the best point and p: far
    // below it a little beyond, at least half as far again and at most four
    // times; from half the level on just beyond, along the line through the
    // last point and p where the profile rises between them, so that the
    // step lands within the level's accuracy rather than overshooting it.
    double next = p.level > 0.0 ? 1.1 * delta * target_ / p.level : 4.0 * delta;
    next = std::clamp(next, 1.5 * delta, 4.0 * delta);
    if (p.level >= 0.5 * target_) {
      const double slope = p.level > last.level && last.delta < delta
                               ? (p.level - last.level) / (delta - last.delta)
                               : p.level / delta;
      next = std::clamp(delta + (1.0 + kLevelAccuracy) * (target_ - p.level) / slope,
                        (1.0 + kLevelAccuracy) * delta, 2.0 * delta);
    }
    last = std::move(p);
    delta = std::min(next, room);
  }
}

// The crossing of the level between `lo`, the last point below it, and
// `hi`, the first within the level's accuracy of it or above (both levels
// exact): each refinement aims along the secant through the two points
// nearest the level when both lie within a quarter of it (regula falsi on
// the bracket otherwise), started from the point below (the better
// re-minimised end); it stops once a point lies within the level's accuracy.
ProfileSide SideWalk::Cross(Point lo, Point hi) {
  const double room = side_ > 0 ? 1.0 - u0_[j_] : u0_[j_];
  ExactLevel(lo);
  if (aborted_) return ProfileSide{ProfileEnd::kAborted, std::nullopt};
  std::optional<Point> dropped;  // the end the last refinement replaced
  const auto near = [&](const Point& q) {
    return q.usable && std::abs(q.level - target_) <= kLevelAccuracy * target_;
  };
  const auto estimate = [&]() {
    const Point* a = &lo;
    const Point* b = &hi;
    if (dropped) {
      // The two nearest the level of lo, hi and the dropped end.
      const auto off = [&](const Point* q) { return std::abs(q->level - target_); };
      const Point* c = &*dropped;
      if (off(c) < std::max(off(a), off(b))) (off(a) > off(b) ? a : b) = c;
      // Only where the level rises about linearly: both within a quarter of it.
      if (std::max(off(a), off(b)) > 0.25 * target_) {
        a = &lo;
        b = &hi;
      }
    }
    double d = hi.delta;
    // A secant much flatter or steeper than the chord of the bracket is the
    // re-fits' scatter, not the profile's shape.
    const double chord = (hi.level - lo.level) / (hi.delta - lo.delta);
    const double secant = (b->level - a->level) / (b->delta - a->delta);
    if (a->level != b->level && secant >= 0.5 * chord && secant <= 2.0 * chord) {
      d = a->delta + (target_ - a->level) * (b->delta - a->delta) / (b->level - a->level);
    } else if (hi.level > lo.level) {
      d = lo.delta + (target_ - lo.level) * (hi.delta - lo.delta) / (hi.level - lo.level);
    }
    // Inside the bracket; beyond hi only while hi lies (just) below the level.
    return std::clamp(d, lo.delta, hi.level >= target_ ? hi.delta : room);
  };
  for (int r = 0;; ++r) {
    if (!(hi.level > lo.level)) return Closed(hi.delta);
    const double d = estimate();
    if (near(hi) || near(lo) || r == kRefinements || hi.level < target_) return Closed(d);
    if (evaluations_ >= budget_ || aborted_) return Closed(d);
    Point mid = At(d, lo);
    ExactLevel(mid);
    if (!mid.usable || near(mid)) return Closed(d);
    Point& replaced = mid.level < target_ ? lo : hi;
    dropped = std::move(replaced);
    replaced = std::move(mid);
  }
}

}  // namespace

long ProfileBudget(int n) { return std::max(200L, 120L * n); }

void ProfileLikelihoods(ProblemPool& pool, std::span<const double> best,
                        const UncertaintyOptions& o, const LinearModel& linear,
                        UncertaintyResult& out) {
  const int n = static_cast<int>(best.size());
  if (!std::isfinite(out.profileThreshold)) return;
  const long perParameter = o.profileBudget > 0 ? o.profileBudget : ProfileBudget(n);
  struct Task {
    ProfileSide side;
    long evaluations = 0;
    double bestObjective = 0.0;
    std::vector<double> bestPoint;
  };
  std::vector<Task> tasks(static_cast<std::size_t>(2 * n));
  RunBatch(
      pool, 2 * n,
      [&](int k, Problem& problem) {
        SideWalk walk(problem, best, o, linear, out, static_cast<std::size_t>(k / 2),
                      k % 2 == 0 ? -1 : 1, perParameter / 2);
        Task& t = tasks[static_cast<std::size_t>(k)];
        t.side = walk.Walk();
        t.evaluations = walk.evaluations();
        t.bestObjective = walk.bestObjective();
        t.bestPoint = walk.bestPoint();
      },
      [&](int k) {
        SearchProgress told;
        told.phase = SearchPhase::kProfiles;
        told.done = k + 1;
        told.total = 2L * n;
        told.evaluations = out.jacobianEvaluations;
        for (int i = 0; i <= k; ++i) told.evaluations += tasks[static_cast<std::size_t>(i)].evaluations;
        Report(o.progress, told);
        return true;
      });
  out.profilesRun = true;
  for (int j = 0; j < n; ++j) {
    const Task& low = tasks[static_cast<std::size_t>(2 * j)];
    const Task& high = tasks[static_cast<std::size_t>(2 * j + 1)];
    ProfileInterval profile;
    profile.low = low.side;
    profile.high = high.side;
    profile.evaluations = low.evaluations + high.evaluations;
    const Task& better = high.bestObjective < low.bestObjective ? high : low;
    profile.bestObjective = better.bestObjective;
    profile.bestPoint = better.bestPoint;
    out.profileEvaluations += profile.evaluations;
    if (low.side.end == ProfileEnd::kAborted || high.side.end == ProfileEnd::kAborted) {
      out.aborted = true;
    }
    out.parameters[static_cast<std::size_t>(j)].profile = std::move(profile);
  }
}

}  // namespace soilcal::optimisation
