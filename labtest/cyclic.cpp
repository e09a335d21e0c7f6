#include "labtest/cyclic.hpp"

#include <algorithm>

namespace soilcal::labtest {

bool IsCyclicTest(const input::LabTest& test) {
  const std::size_t n = std::min({test.phaseFlags.size(), test.prescribedStress.size(),
                                  test.loadSteps.size()});
  for (int i = 0; i < 6; ++i) {
    int turns = 0;
    double last = 0.0;  // sign of the last loading increment of component i
    for (std::size_t p = 0; p < n; ++p) {
      const double inc = test.prescribedStress[p][static_cast<std::size_t>(i)];
      if (test.phaseFlags[p][static_cast<std::size_t>(i)] != 1 || test.loadSteps[p] <= 0 ||
          inc == 0.0) {
        continue;
      }
      const double sign = inc > 0.0 ? 1.0 : -1.0;
      if (last != 0.0 && sign != last) ++turns;
      last = sign;
    }
    if (turns >= 2) return true;
  }
  return false;
}

}  // namespace soilcal::labtest
