// Bounds of a free parameter around its derived start value.
#pragma once

#include "models/parameter_table.hpp"

namespace soilcal::derive {

struct Bounds {
  double lower = 0.0;
  double upper = 0.0;
};

// Bounds from the spread of a rule's inputs [low, high] (for example the
// E50ref of the lowest and of the highest cell pressure), widened by a
// stated margin and clipped to the parameter's physical range:
//   moduli and strengths: low/1.5 .. high·1.5;
//   angles: low − 3° .. high + 3°;
//   other dimensionless values: low/1.25 .. high·1.25.
// The margins are a little wider than the scatter of each rule against a
// calibrated optimum (stiffnesses within 35 %, angles within 2°) and no
// wider: the default search starts its swarm anywhere in the box, so a box
// twice as wide as it needs to be costs it the optimum.
// The start always lies inside; an open end of the range is kept open by
// one part in a thousand of the start (never 0 for a modulus).
Bounds BoundsAround(const models::params::Parameter& p, double start, double low, double high);

}  // namespace soilcal::derive
