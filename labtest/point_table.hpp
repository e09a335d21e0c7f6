// The table of recorded points of soilcal-labtest with derived columns:
// aligned columns under a header whose names stand above their values.
#pragma once

#include <string>

#include "input/records.hpp"
#include "labtest/context.hpp"

namespace soilcal::labtest {

// Phase of recorded point k: 0 for the initial point, else the phase whose
// load steps produced it.
int PhaseOfPoint(const input::LabTest& test, int k);

// The plain table of every recorded point, one line each: point, phase,
// time, six strains, six stresses and the pore pressure, separated by single
// spaces under a "# " header line (the table tools read back).
std::string PointTable(const input::LabTest& test, const Recording& rec, int nPoints);

// The whole table: point, phase, time, six strains, six stresses, pore
// pressure, then p, q, εv, ε1 (principal) and the pore pressure once more
// beside them. Values in shortest round-trip form, right-aligned.
std::string DerivedPointTable(const input::LabTest& test, const Recording& rec, int nPoints);

}  // namespace soilcal::labtest
