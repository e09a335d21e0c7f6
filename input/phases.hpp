// One loading phase of a laboratory test, the one record that every maker of
// tests (the lab-test reader's callers, the cyclic tests, the TOML job's
// templates, the lab-file readers) builds and writes into a test.
#pragma once

#include <array>
#include <vector>

#include "input/records.hpp"

namespace soilcal::input {

// A phase as a lab-test file holds it: increments over the whole phase,
// tension positive; control flags 1 for a prescribed stress, 0 for a
// prescribed strain.
struct Phase {
  int loadSteps = 1;
  double timeIncrement = 0.0;
  std::array<double, 6> strain{};
  std::array<double, 6> stress{};
  std::array<int, 6> flags{};
};

// Writes `phases` into `test`: the number of phases, each phase's steps,
// time, increments and flags, the control flags of the last phase and the
// capacity of recorded points (1 + every load step, held at INT_MAX when a
// job asks for more). The initial stress and the model are the caller's.
void WritePhases(const std::vector<Phase>& phases, LabTest& test);

}  // namespace soilcal::input
