#include "jobfile/stage_branches.hpp"

#include <algorithm>
#include <cmath>

namespace soilcal::jobfile {
namespace {

int Sense(double from, double to) { return to > from ? 1 : (to < from ? -1 : 0); }

// A turning row is the next branch's anchor when it lies at the level the
// branch starts from (stage-end values are read off to a few digits).
bool AtLevel(double value, const Branch& b) {
  const double scale = std::max({std::abs(b.start), std::abs(b.end - b.start), 1e-12});
  return std::abs(value - b.start) <= 0.01 * scale;
}

bool SameRow(const StageRow& a, const StageRow& b) { return a.x == b.x && a.y == b.y; }

std::string Line(const StageRow& r) { return "line " + std::to_string(r.line); }

Placement Walk(const std::vector<Branch>& branches, const std::vector<StageRow>& rows) {
  Placement out;
  out.segments.resize(branches.size());
  std::size_t b = 0;
  const StageRow* previous = nullptr;
  for (const StageRow& r : rows) {
    if (previous != nullptr && Sense(*previous->control, *r.control) == -branches[b].direction &&
        branches[b].direction != 0) {
      if (b + 1 >= branches.size()) {
        out.problem = Line(r) + " turns back once more than the test's levels do (" +
                      std::to_string(branches.size()) +
                      " load branches): give the levels of every loading, unloading and "
                      "reloading, or leave the row out";
        return out;
      }
      ++b;
      if (AtLevel(*previous->control, branches[b])) out.segments[b].push_back(*previous);
    }
    out.segments[b].push_back(r);
    previous = &r;
  }
  return out;
}

Placement ByStage(const std::vector<Branch>& branches, const std::vector<StageRow>& rows) {
  Placement out;
  out.segments.resize(branches.size());
  for (const StageRow& r : rows) {
    const auto level = static_cast<std::size_t>(std::max(r.stage, 1) - 1);
    std::size_t b = 0;
    while (b + 1 < branches.size() && branches[b].lastLevel < level) ++b;
    // The stage that ended the branch before ended at this branch's start.
    if (out.segments[b].empty() && b > 0 && !out.segments[b - 1].empty()) {
      out.segments[b].push_back(out.segments[b - 1].back());
    }
    out.segments[b].push_back(r);
  }
  return out;
}

}  // namespace

std::vector<Branch> BranchesOf(double start, const std::vector<double>& levels) {
  std::vector<Branch> out;
  double previous = start;
  for (std::size_t k = 0; k < levels.size(); ++k) {
    const int sense = Sense(previous, levels[k]);
    if (!out.empty() && sense != 0 && out.back().direction == sense) {
      out.back().lastLevel = k;
      out.back().end = levels[k];
    } else {
      out.push_back({k, k, previous, levels[k], sense});
    }
    previous = levels[k];
  }
  return out;
}

double BranchTarget(const Branch& b, double overshoot) {
  if (overshoot == 0.0 || b.direction == 0) return b.end;
  const double size = std::max(std::abs(b.end), std::abs(b.end - b.start));
  return b.end + b.direction * overshoot * size;
}

Placement PlaceOnBranches(const std::vector<Branch>& branches, std::vector<StageRow> rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const StageRow& a, const StageRow& b) { return a.stage < b.stage; });
  rows.erase(std::unique(rows.begin(), rows.end(), SameRow), rows.end());
  if (branches.empty()) return {};
  const bool controlled = std::all_of(rows.begin(), rows.end(),
                                      [](const StageRow& r) { return r.control.has_value(); });
  const bool held = std::any_of(branches.begin(), branches.end(),
                                [](const Branch& b) { return b.direction == 0; });
  if (controlled && !held) return Walk(branches, rows);
  return ByStage(branches, rows);
}

}  // namespace soilcal::jobfile
