// Small least-squares tools the start-value rules share: a straight line, two
// straight lines that meet at a kink, local slopes of a noisy curve, and the
// monotone branches of a loading history.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace soilcal::derive {

struct Line {
  double slope = 0.0;
  double intercept = 0.0;
  double At(double x) const { return intercept + slope * x; }
};

// Least-squares line through (x, y); nullopt for fewer than two distinct x.
std::optional<Line> FitLine(const std::vector<double>& x, const std::vector<double>& y);

// Two lines fitted to the points before and after a split, the split chosen
// to minimise the sum of squared residuals; the point at the split belongs to
// both sides, or to the first only where that fits better (a kink between
// two points). `kink` is where the lines meet. Each side keeps at least
// `minPoints` points. nullopt for too few points or parallel lines.
struct TwoLines {
  Line first;
  Line second;
  double kink = 0.0;       // x where the two lines intersect
  std::size_t split = 0;   // index of the point shared by both fits
  double residual = 0.0;   // sum of squared residuals of both fits
};
std::optional<TwoLines> FitTwoLines(const std::vector<double>& x, const std::vector<double>& y,
                                    std::size_t minPoints = 3);

// Slope dy/dx at each point from a line through the 2·half + 1 points around
// it (fewer at the ends).
std::vector<double> LocalSlopes(const std::vector<double>& x, const std::vector<double>& y,
                                std::size_t half = 2);

// Runs of a history in which `v` grows (loading) or falls (unloading); a run
// holds the indexes of its points, the turning point in both runs.
struct Branch {
  std::size_t first = 0;
  std::size_t last = 0;   // inclusive
  bool loading = true;
  std::size_t size() const { return last - first + 1; }
};
std::vector<Branch> MonotoneBranches(const std::vector<double>& v);

// The x at which y first reaches `level` going from the first point, by
// linear interpolation; nullopt when it never does.
std::optional<double> FirstCrossing(const std::vector<double>& x, const std::vector<double>& y,
                                    double level);

}  // namespace soilcal::derive
