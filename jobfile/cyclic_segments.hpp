// The measured readings of a cyclic test read from a laboratory file, placed
// on the phases (half cycles) of its load wave as the program compares
// them. The comparison of phase p runs over the recorded points first(p) to
// last(p), first(p) = 1 + Σ_{q<p} (s_q + 1) for p > 1 and last(p) =
// 1 + Σ_{q≤p} s_q (s_q the load steps of phase q), and shifts the simulated
// phase onto the first measured point of its segment. So each segment after
// the first starts with an anchor at the time of first(p), its value
// interpolated between the readings around it, and holds the readings that
// lie in first(p)..last(p); readings of a phase before first(p) are not
// compared.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "input/phases.hpp"

namespace soilcal::jobfile {

struct CyclicSegments {
  std::vector<std::vector<std::pair<double, double>>> segments;  // per phase: (cycles, value)
  int readingsLeftOut = 0;  // readings before the compared part of their phase
};

// `cycles` non-decreasing, `values` one per reading, both counted from the
// start of the cycling (a value of 0 at cycle 0 where the readings begin
// later). Readings outside [from, to] of `range` (when it has two values)
// are left out as the job asks.
CyclicSegments PlaceCyclicReadings(const std::vector<input::Phase>& phases,
                                   const std::vector<double>& cycles,
                                   const std::vector<double>& values,
                                   const std::vector<double>& range);

// The load steps of a half cycle that keep the compared part of every
// phase of `cycles` cycles longer than the part left out: more than 4 per
// cycle, and at least `least`.
int CyclicStepsFor(int cycles, int least);

}  // namespace soilcal::jobfile
