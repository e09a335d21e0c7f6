#include "input/phases.hpp"

#include <algorithm>
#include <climits>

namespace soilcal::input {

void WritePhases(const std::vector<Phase>& phases, LabTest& test) {
  test.nPhases = static_cast<int>(phases.size());
  test.loadSteps.clear();
  test.timeIncrement.clear();
  test.prescribedStrain.clear();
  test.prescribedStress.clear();
  test.phaseFlags.clear();
  long long capacity = 1;
  for (const Phase& p : phases) {
    test.loadSteps.push_back(p.loadSteps);
    test.timeIncrement.push_back(p.timeIncrement);
    test.prescribedStrain.push_back(p.strain);
    test.prescribedStress.push_back(p.stress);
    test.phaseFlags.push_back(p.flags);
    capacity += std::max(p.loadSteps, 0);
  }
  test.capacity = static_cast<int>(std::min<long long>(capacity, INT_MAX));
  if (!phases.empty()) test.controlFlags = phases.back().flags;
}

}  // namespace soilcal::input
