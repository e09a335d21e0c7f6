// Cyclic laboratory tests in the native format: one phase per half cycle of
// stress-controlled shear on an undrained set (model variant 1), whose pore
// water keeps the volume constant and carries the excess pore pressure.
//
// The load is a triangle wave of the shear stress (simple shear tau_xy) or
// of the deviator (triaxial sigma_yy - sigma_xx) with period 1 in time: a
// first quarter cycle from 0 to +amplitude (time 0.25), then half cycles of
// -2, +2 amplitudes (time 0.5 each), and a last quarter back to 0 (time
// 0.25). The test's time is therefore the number of cycles, and a measured
// curve of the excess pore pressure ratio r_u against the number of cycles N
// maps onto quantity codes by constant factors:
//
//   x: code 10 (time) = N
//   y: code -7 (minus the pore pressure, which is tension positive)
//        = r_u * sigma'_v0 for simple shear (r_u = du / sigma'_v0)
//        = r_u * sigma'_3c for triaxial tests (r_u = du / sigma'_3c)
//
// so a file of r_u against N is written as "10 -7" with every r_u multiplied
// by the initial vertical (or cell) effective stress. The curve has one
// segment per phase, and the comparison of phase p uses the recorded points
// 1 + sum over q < p of (steps_q + 1) up to 1 + sum over q <= p of steps_q,
// so a test wants more load steps per half cycle than it has phases. A test whose phases
// are cyclic is watched for liquefaction (see labtest/cyclic.hpp) and goes
// on to its last cycle unless asked to stop there.
#pragma once

#include <array>
#include <vector>

#include "input/phases.hpp"
#include "input/records.hpp"

namespace soilcal::input {

// What a lab-test file says about its test beyond the material.
struct TestDescription {
  std::array<double, 6> initialStress{};
  int modelVariant = 1;  // 1: undrained set (model number base + 200)
  std::vector<Phase> phases;
};

// Cyclic direct simple shear: vertical effective stress sigma'_v0 (yy,
// compression positive) held constant, horizontal stresses K0 sigma'_v0 at
// the start, no horizontal strain (xx and zz), the shear stress tau_xy
// cycled with `amplitude` for `cycles` full cycles in `stepsPerHalfCycle`
// load steps per half cycle (half of them, at least one, per quarter).
TestDescription CyclicDirectSimpleShear(double verticalStress, double k0, double amplitude,
                                        int cycles, int stepsPerHalfCycle);
// The same with the amplitude given as the cyclic stress ratio tau/sigma'_v0.
TestDescription CyclicDirectSimpleShearAtRatio(double verticalStress, double k0,
                                               double cyclicStressRatio, int cycles,
                                               int stepsPerHalfCycle);
// Cyclic triaxial test: isotropic cell pressure sigma'_3c (compression
// positive) held on xx and zz, the axial stress yy cycled by
// `deviatorAmplitude` about it (compression first), all components
// stress-controlled.
TestDescription CyclicTriaxial(double cellPressure, double deviatorAmplitude, int cycles,
                               int stepsPerHalfCycle);

// Writes the description into `test`: initial stress, phases, control flags
// of the last phase, recorded-point capacity and the model number
// baseModel + 100 (variant + 1).
void ApplyDescription(const TestDescription& description, int baseModel, LabTest& test);

}  // namespace soilcal::input
