// The figures of the hypoplastic sand study, as SVG files: Bauer's
// compression law from a loose and a dense start, drained triaxial
// compression to the critical state, closed stress cycles with and without
// intergranular strain, and the Karlsruhe tests against the published and
// the calibrated parameter sets.
#pragma once

#include <string>
#include <vector>

#include "bench/karlsruhe/karlsruhe_data.hpp"

namespace karlsruhe {

struct LabelledSet {
  std::string label;
  Parameters p;
};

// Writes hypoplastic_sand_compression.svg, hypoplastic_sand_triaxial.svg,
// hypoplastic_sand_cycles.svg and hypoplastic_sand_karlsruhe.svg into
// `folder`; prints one line per figure with the figures' key numbers.
// False when a file cannot be written or a simulation fails.
bool WriteFigures(const std::string& folder, const std::vector<Measured>& tests,
                  const std::vector<LabelledSet>& sets);

}  // namespace karlsruhe
