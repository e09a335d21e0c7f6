// Tests given by levels (an incremental oedometer, an isotropic compression)
// as load branches: every run of levels that moves the same way (loading,
// unloading, reloading) is one phase, stress- or strain-controlled through
// its levels and ending a stated fraction past its last level, so that the
// solver's small shortfall at the end of a phase never leaves the last
// measured point outside the simulated range.
//
// The points of a curve are placed on the branches in their order along the
// controlled quantity; the turning point that ends a branch is repeated as
// the first point (the anchor) of the next one, onto which the phase's
// simulated start is shifted. Every other point then carries information.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace soilcal::jobfile {

// Fraction of its last level by which a branch goes past it, by default.
inline constexpr double kDefaultOvershoot = 0.005;

struct Branch {
  std::size_t firstLevel = 0;  // index of its first level
  std::size_t lastLevel = 0;   // index of its last level
  double start = 0.0;          // the level it starts from
  double end = 0.0;            // its last level
  int direction = 0;           // +1 up, -1 down, 0 a level held
};

// The branches of a test starting at `start` through `levels`: a level joins
// the current branch when it moves on in the branch's sense; a level equal
// to the one before is a branch of its own.
std::vector<Branch> BranchesOf(double start, const std::vector<double>& levels);

// Where a branch ends: its last level moved on by `overshoot` times the
// larger of the level's size and the branch's span.
double BranchTarget(const Branch& b, double overshoot);

// One row of a curve file: the values of the curve and of the controlled
// quantity (when the curve holds it), the stage (phase column) and the line.
struct StageRow {
  double x = 0.0, y = 0.0;
  std::optional<double> control;
  int stage = 1;
  int line = 0;
};

// The rows of each branch, anchors included, or the reason they cannot be
// placed (a sentence naming the line).
struct Placement {
  std::vector<std::vector<StageRow>> segments;
  std::string problem;
};

// Places rows (in file order) on the branches. With the controlled quantity
// in every row they are walked along it: a row that turns against the
// branch's sense starts the next one. Without it the phase column counts
// the levels (stages), each stage going to its branch. Rows repeated
// one after the other are taken once.
Placement PlaceOnBranches(const std::vector<Branch>& branches, std::vector<StageRow> rows);

}  // namespace soilcal::jobfile
