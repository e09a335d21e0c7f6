#include "models/family.hpp"

#include <array>

namespace soilcal::models {

const ModelFamily* FindModelFamily(int model) {
  static const std::array<const ModelFamily*, 9> families = {
      &ElasticFamily(),   &MohrCoulombFamily(), &HardeningSoilFamily(),
      &SoftSoilFamily(),  &UserModelFamily(),   &HoekBrownFamily(),
      &SekiguchiOhtaFamily(), &NgiAdpFamily(),  &UbcSandFamily()};
  for (const ModelFamily* f : families) {
    for (int m : f->models) {
      if (m == model) return f;
    }
  }
  return nullptr;
}

}  // namespace soilcal::models
