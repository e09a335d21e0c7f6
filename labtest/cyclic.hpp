// Cyclic tests and their liquefaction. A test is cyclic when one of its
// stress-prescribed components turns the sign of its increment at least
// twice from phase to phase (load, unload, reload), as the cyclic simple
// shear and triaxial tests of input/cyclic_tests.hpp do; an oedometer that
// is loaded and unloaded once is not.
//
// A cyclic test has liquefied when, after an accepted step, the mean
// effective stress p' has fallen to 5 % of its value at the start of the
// test (the pore pressure ratio of the mean stress 1 - p'/p'0 has reached
// 0.95), or when a step cannot be carried (it does not converge) once p'
// is below half of that value: the sample flows under the cyclic stress.
// The test then ends as a completed test (status 0) whose recorded points,
// and so its curves, stop at the last accepted step. Tests that are not
// cyclic never stop for it.
#pragma once

#include "input/records.hpp"
#include "models/tensor.hpp"

namespace soilcal::labtest {

inline constexpr double kLiquefiedMeanStress = 0.05;   // p'/p'0 after an accepted step
inline constexpr double kUnbearableMeanStress = 0.5;   // p'/p'0 before a step that fails

bool IsCyclicTest(const input::LabTest& test);

// Mean effective stress (compression positive) of a stress vector.
inline double MeanEffectiveStress(const Vec6& sig) { return -(sig[0] + sig[1] + sig[2]) / 3.0; }

}  // namespace soilcal::labtest
