#include "input/cyclic_tests.hpp"

#include <algorithm>

namespace soilcal::input {
namespace {

// A triangle wave of the stress component `component` (tension positive
// increments: `sign` -1 makes the first quarter compressive) with the
// remaining flags of the test.
TestDescription TriangleWave(const std::array<double, 6>& initial, int component, double amplitude,
                             double sign, const std::array<int, 6>& flags, int cycles,
                             int stepsPerHalfCycle) {
  TestDescription d;
  d.initialStress = initial;
  const int half = std::max(stepsPerHalfCycle, 1);
  const int quarter = std::max(half / 2, 1);
  auto phase = [&](double multiple, int steps, double time) {
    Phase p;
    p.loadSteps = steps;
    p.timeIncrement = time;
    p.stress[static_cast<std::size_t>(component)] = sign * multiple * amplitude;
    p.flags = flags;
    d.phases.push_back(p);
  };
  if (cycles < 1) return d;
  phase(1.0, quarter, 0.25);
  for (int k = 1; k < 2 * cycles; ++k) phase(k % 2 == 1 ? -2.0 : 2.0, half, 0.5);
  phase(1.0, quarter, 0.25);
  return d;
}

}  // namespace

TestDescription CyclicDirectSimpleShear(double verticalStress, double k0, double amplitude,
                                        int cycles, int stepsPerHalfCycle) {
  const double h = k0 * verticalStress;
  // xx and zz strain-prescribed at zero, yy and the shear stresses
  // stress-prescribed; tau_xy positive first.
  return TriangleWave({-h, -verticalStress, -h, 0, 0, 0}, 3, amplitude, 1.0, {0, 1, 0, 1, 1, 1},
                      cycles, stepsPerHalfCycle);
}

TestDescription CyclicDirectSimpleShearAtRatio(double verticalStress, double k0,
                                               double cyclicStressRatio, int cycles,
                                               int stepsPerHalfCycle) {
  return CyclicDirectSimpleShear(verticalStress, k0, cyclicStressRatio * verticalStress, cycles,
                                 stepsPerHalfCycle);
}

TestDescription CyclicTriaxial(double cellPressure, double deviatorAmplitude, int cycles,
                               int stepsPerHalfCycle) {
  const double c = cellPressure;
  return TriangleWave({-c, -c, -c, 0, 0, 0}, 1, deviatorAmplitude, -1.0, {1, 1, 1, 1, 1, 1},
                      cycles, stepsPerHalfCycle);
}

void ApplyDescription(const TestDescription& d, int baseModel, LabTest& test) {
  test.modelNumber = baseModel + 100 * (d.modelVariant + 1);
  test.initialStress = d.initialStress;
  WritePhases(d.phases, test);
}

}  // namespace soilcal::input
