#include "labtest/cyclic.hpp"

#include <algorithm>
#include <cmath>

#include "models/principal.hpp"

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

double PorePressureReference(const input::LabTest& test) {
  const auto& flags = test.phaseFlags.empty() ? test.controlFlags : test.phaseFlags.back();
  double ref = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    const double s = -test.initialStress[i];
    if (flags[i] == 1 && s > 0.0) ref = ref > 0.0 ? std::min(ref, s) : s;
  }
  if (!(ref > 0.0)) ref = MeanEffectiveStress(test.initialStress);
  return std::max(ref, 1e-12);
}

double MaximumShearStrain(const Vec6& eps) {
  const models::Principal pr = models::PrincipalStrains(eps);
  return pr.s[2] - pr.s[0];
}

int LiquefactionWatch::Point() const {
  if (pointByRu > 0 && pointByStrain > 0) return std::min(pointByRu, pointByStrain);
  return std::max(pointByRu, pointByStrain);
}

double LiquefactionWatch::Time() const {
  if (pointByRu > 0 && (pointByStrain == 0 || pointByRu <= pointByStrain)) return timeByRu;
  return timeByStrain;
}

bool LiquefactionWatch::Observe(int point, double time, const Vec6& strain, double swp) {
  const bool before = Liquefied();
  // The pore pressure is tension positive: its excess in compression is -swp.
  const double ru = -swp / reference;
  const double gamma = MaximumShearStrain(strain);
  maxRu = std::max(maxRu, ru);
  maxShearStrain = std::max(maxShearStrain, gamma);
  if (pointByRu == 0 && ru >= kLiquefiedPorePressureRatio) {
    pointByRu = point;
    timeByRu = time;
  }
  if (pointByStrain == 0 && gamma >= kLiquefiedShearStrain) {
    pointByStrain = point;
    timeByStrain = time;
  }
  return !before && Liquefied();
}

}  // namespace soilcal::labtest
