// Per-test completion and stress-point initialisation: the generic routines
// hand the work to the family of the set's model.
#include "models/model_rules.hpp"
#include "models/setup.hpp"

namespace soilcal::models {

int PerTestCompletion(int model, PropSoil& prop, const ModelConstants& k,
                      const ModelResources& res) {
  if (const ModelFamily* family = FindModelFamily(model)) {
    return CallFamilyPerTestCompletion(*family, model, prop, k, res);
  }
  if (const ModelRules* rules = FindModelRules(model); rules && rules->perTestCompletion) {
    rules->perTestCompletion(prop);
  }
  return 0;
}

int InitStressPoint(PointInitCall& call) {
  const ModelFamily* family = FindModelFamily(call.model);
  if (family == nullptr || family->initPoint == nullptr) return 0;
  return family->initPoint(call);
}

}  // namespace soilcal::models
