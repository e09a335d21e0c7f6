#include "jobfile/cyclic_segments.hpp"

#include <algorithm>
#include <cmath>

namespace soilcal::jobfile {
namespace {

// The time (cycles) of each recorded point: the start, then one point per
// load step.
std::vector<double> RecordedTimes(const std::vector<input::Phase>& phases) {
  std::vector<double> t{0.0};
  double at = 0.0;
  for (const input::Phase& p : phases) {
    const int n = std::max(p.loadSteps, 1);
    const double start = at;
    for (int k = 1; k <= n; ++k) t.push_back(start + p.timeIncrement * k / n);
    at = start + p.timeIncrement;
  }
  return t;
}

// The value of the readings at `x` by linear interpolation; before the
// first reading, between the start of the cycling (0 at cycle 0) and it.
std::optional<double> ValueAt(const std::vector<double>& xs, const std::vector<double>& ys,
                              double x) {
  double x0 = 0.0, y0 = 0.0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (xs[i] == x) return ys[i];
    if (xs[i] > x) {
      if (x < x0) return std::nullopt;
      return xs[i] == x0 ? ys[i] : y0 + (x - x0) * (ys[i] - y0) / (xs[i] - x0);
    }
    x0 = xs[i], y0 = ys[i];
  }
  return std::nullopt;
}

}  // namespace

CyclicSegments PlaceCyclicReadings(const std::vector<input::Phase>& phases,
                                   const std::vector<double>& xs, const std::vector<double>& ys,
                                   const std::vector<double>& range) {
  CyclicSegments out;
  out.segments.resize(std::max<std::size_t>(phases.size(), 1));
  const std::vector<double> t = RecordedTimes(phases);
  const auto inRange = [&](double x) {
    return range.size() != 2 || (x >= range[0] && x <= range[1]);
  };
  // A reading on the last recorded time of a phase belongs to it; the
  // tolerance covers the rounding of the cycle numbers a file holds.
  const double tol = 1e-9;
  std::vector<bool> placed(xs.size(), false);
  int steps = 0;  // load steps before phase p
  for (std::size_t p = 0; p < phases.size(); ++p) {
    const int first = p == 0 ? 1 : 1 + steps + static_cast<int>(p);
    steps += std::max(phases[p].loadSteps, 1);
    const int last = 1 + steps;
    if (first > last || last > static_cast<int>(t.size())) continue;
    const double from = t[static_cast<std::size_t>(first - 1)];
    const double to = t[static_cast<std::size_t>(last - 1)];
    std::vector<std::pair<double, double>>& seg = out.segments[p];
    if (p > 0 && inRange(from)) {
      if (const std::optional<double> anchor = ValueAt(xs, ys, from)) seg.emplace_back(from, *anchor);
    }
    std::vector<std::size_t> here;
    for (std::size_t i = 0; i < xs.size(); ++i) {
      // A reading at the anchor's time is the anchor.
      const bool anchor = p > 0 && !seg.empty() && std::abs(xs[i] - from) <= tol;
      const bool inside = p == 0 ? xs[i] <= to + tol : xs[i] > from + tol && xs[i] <= to + tol;
      if (placed[i] || !(inside || anchor)) continue;
      here.push_back(i);
      // A reading at the phase's end, within the rounding of its cycle
      // number, is placed just inside it: the simulation sums its time
      // step by step, and the comparison takes no point past its last one.
      const double x = std::abs(xs[i] - to) <= tol ? to - 2.0 * tol : xs[i];
      if (inside && inRange(xs[i])) seg.emplace_back(x, ys[i]);
    }
    // An anchor alone compares nothing: its readings are left out.
    if (seg.size() == 1 && p > 0) {
      seg.clear();
      continue;
    }
    for (std::size_t i : here) placed[i] = true;
  }
  for (std::size_t i = 0; i < xs.size(); ++i) {
    if (!placed[i] && inRange(xs[i])) ++out.readingsLeftOut;
  }
  return out;
}

int CyclicStepsFor(int cycles, int least) {
  const int need = 4 * std::max(cycles, 1) + 4;
  return std::max(least, need + need % 2);
}

}  // namespace soilcal::jobfile
