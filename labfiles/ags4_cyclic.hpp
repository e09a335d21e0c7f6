// Cyclic triaxial tests of an AGS4 file: the readings of CTRD (cycle
// number, axial strain, deviator stress, pore pressure) of one specimen,
// with the effective stress at the end of consolidation from CTRC where the
// file has it, become a `cyclic_triaxial` test whose curves are the excess
// pore pressure ratio r_u and the axial strain against the cycles.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "labfiles/ags4_groups.hpp"
#include "labfiles/cyclic_readings.hpp"
#include "labfiles/lab_file.hpp"

namespace soilcal::labfiles {

// The readings of one cyclic test: a specimen, and its test number where
// CTRD numbers several tests of it.
struct CyclicSpecimen {
  SpecimenKey key;
  std::string testNumber;              // CTRD_TESN, may be empty
  std::vector<const Row*> rows;        // CTRD rows in file order
};

// The test number as `stage = N` selects it; nothing where it is no whole
// number.
std::optional<int> TestNumber(const CyclicSpecimen& sp);

// The cyclic tests of the file's CTRD group (none without the group).
std::vector<CyclicSpecimen> CyclicSpecimens(const Ags4File& f);

// The line `soilcal inspect` lists for a cyclic test, with its TOML.
std::string CyclicEntry(const Ags4File& f, const CyclicSpecimen& sp);

// The test of one specimen's readings; LabFileError when the readings or
// the start cannot give one. Every choice is added to `choices`.
LabTest CyclicTriaxialTest(const Ags4File& f, const CyclicSpecimen& sp,
                           std::vector<std::string>& choices);

}  // namespace soilcal::labfiles
