// The readings of a cyclic triaxial test, from whichever file gave them,
// as the `cyclic_triaxial` test they stand for: the deviator amplitude,
// the cycles, and r_u, the excess pore pressure and the axial strain
// against the cycles, each reading on its half cycle of the load wave.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "labfiles/lab_file.hpp"

namespace soilcal::labfiles {

// One reading: kPa, axial strain a fraction; the pore pressure total or the
// excess one (either is enough), the cell pressure where the file has it.
struct CyclicReading {
  double cycles = 0.0;
  std::optional<double> strain, deviator, pore, excess, cell;
  int line = 0;
};

// The test of `readings` (cycle numbers non-decreasing, each with its
// deviator) from the effective cell pressure `radial`; the excess pore
// pressure is the pore pressure minus `pore0` where a reading lacks its
// excess one. `startReading`: the first reading is at cycle 0, so the
// strains count from it. LabFileError naming `name` where the deviator does
// not cycle about zero.
LabTest CyclicFromReadings(const std::string& name, std::vector<CyclicReading> readings,
                           double radial, std::optional<double> pore0, bool startReading,
                           std::vector<std::string>& choices);

// The phase of a cyclic test (1-based) at `cycles` of the load wave of
// input/cyclic_tests.hpp: a quarter cycle, 2 n − 1 half cycles, a last
// quarter; a reading on a boundary counts to the earlier phase.
int CyclicPhaseAt(double cycles, int totalCycles);

}  // namespace soilcal::labfiles
