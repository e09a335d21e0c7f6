#include "derive/fit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace soilcal::derive {
namespace {

std::optional<Line> FitRange(const std::vector<double>& x, const std::vector<double>& y,
                             std::size_t from, std::size_t to, double* residual) {
  const double n = static_cast<double>(to - from);
  if (to - from < 2) return std::nullopt;
  double sx = 0, sy = 0;
  for (std::size_t i = from; i < to; ++i) sx += x[i], sy += y[i];
  const double mx = sx / n, my = sy / n;
  double sxx = 0, sxy = 0;
  for (std::size_t i = from; i < to; ++i) {
    sxx += (x[i] - mx) * (x[i] - mx);
    sxy += (x[i] - mx) * (y[i] - my);
  }
  if (!(sxx > 0.0)) return std::nullopt;
  Line line{sxy / sxx, my - sxy / sxx * mx};
  if (residual != nullptr) {
    double r = 0;
    for (std::size_t i = from; i < to; ++i) r += std::pow(y[i] - line.At(x[i]), 2);
    *residual = r;
  }
  return line;
}

}  // namespace

std::optional<Line> FitLine(const std::vector<double>& x, const std::vector<double>& y) {
  return FitRange(x, y, 0, std::min(x.size(), y.size()), nullptr);
}

std::optional<TwoLines> FitTwoLines(const std::vector<double>& x, const std::vector<double>& y,
                                    std::size_t minPoints) {
  const std::size_t n = std::min(x.size(), y.size());
  minPoints = std::max<std::size_t>(minPoints, 2);
  if (n < 2 * minPoints - 1) return std::nullopt;
  std::optional<TwoLines> best;
  // The point at the split on both sides (a kink on a point), or on the
  // first side only (a kink between two points).
  for (std::size_t shared = 0; shared < 2; ++shared) {
    for (std::size_t split = minPoints - 1; split + minPoints + (1 - shared) <= n; ++split) {
      double r1 = 0, r2 = 0;
      const auto a = FitRange(x, y, 0, split + 1, &r1);
      const auto b = FitRange(x, y, shared ? split : split + 1, n, &r2);
      if (!a || !b || a->slope == b->slope) continue;
      // Ties go to the shared split, found first.
      if (!best || r1 + r2 < best->residual - 1e-15 * (1.0 + best->residual)) {
        best = TwoLines{*a, *b, (b->intercept - a->intercept) / (a->slope - b->slope), split,
                        r1 + r2};
      }
    }
  }
  return best;
}

std::vector<double> LocalSlopes(const std::vector<double>& x, const std::vector<double>& y,
                                std::size_t half) {
  const std::size_t n = std::min(x.size(), y.size());
  std::vector<double> slopes(n, std::nan(""));
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t from = i >= half ? i - half : 0;
    const std::size_t to = std::min(n, i + half + 1);
    if (auto line = FitRange(x, y, from, to, nullptr)) slopes[i] = line->slope;
  }
  return slopes;
}

std::vector<Branch> MonotoneBranches(const std::vector<double>& v) {
  std::vector<Branch> branches;
  if (v.size() < 2) return branches;
  Branch current{0, 0, true};
  bool started = false;
  for (std::size_t i = 1; i < v.size(); ++i) {
    if (v[i] == v[i - 1]) {
      current.last = i;
      continue;
    }
    const bool up = v[i] > v[i - 1];
    if (!started) {
      current.loading = up;
      started = true;
    } else if (up != current.loading) {
      branches.push_back(current);
      current = Branch{i - 1, i - 1, up};
    }
    current.last = i;
  }
  if (started) branches.push_back(current);
  return branches;
}

std::optional<double> FirstCrossing(const std::vector<double>& x, const std::vector<double>& y,
                                    double level) {
  const std::size_t n = std::min(x.size(), y.size());
  // From the origin to the first point when the curve starts above 0.
  double x0 = 0.0, y0 = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (y[i] >= level) {
      if (y[i] == y0) return x[i];
      return x0 + (x[i] - x0) * (level - y0) / (y[i] - y0);
    }
    x0 = x[i];
    y0 = y[i];
  }
  return std::nullopt;
}

}  // namespace soilcal::derive
