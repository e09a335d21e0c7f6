// Unit lines of a lab-test file: the force and length units scale the
// reference pressure (100 kPa in the file's units), the time unit gives the
// time factor (the unit's length in seconds). Names are compared exactly
// (case-sensitive); an unknown name writes one diagnostic line and leaves
// the value it would change as it is (the time factor becomes 1, as for
// seconds).
#pragma once

#include <string>

#include "input/records.hpp"

namespace soilcal::input {

void ApplyForceUnit(const std::string& word, MaterialInput& m);
void ApplyLengthUnit(const std::string& word, MaterialInput& m);
void ApplyTimeUnit(const std::string& word, MaterialInput& m);

}  // namespace soilcal::input
