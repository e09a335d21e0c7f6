#include "models/family.hpp"

namespace soilcal::models {

// Placeholder until the family's routines exist: serves no model number, so
// its models end in the dispatcher's default case.
const ModelFamily& MohrCoulombFamily() {
  static const ModelFamily family{.name = "mohr_coulomb"};
  return family;
}

}  // namespace soilcal::models
