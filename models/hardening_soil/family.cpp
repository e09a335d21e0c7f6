// The Hardening Soil family: model 6 and its small-strain variant 19.
//  * both keep gamma_p and pc in entries 5 and 6 of the point's record;
//  * model 19 keeps its strain history in 10 state variables of its own
//    (models/hardening_soil/hs_small_strain.hpp); the family asks for 10 for
//    both models, model 6 leaves them unused;
//  * the stiffness follows the stress, so GenMat runs before every step.
#include "models/family.hpp"
#include "models/hardening_soil/hs_model.hpp"
#include "models/hardening_soil/hs_small_strain.hpp"

namespace soilcal::models {

const ModelFamily& HardeningSoilFamily() {
  static constexpr int kModels[] = {6, 19};
  static const ModelFamily family{
      .name = "hardening_soil",
      .models = kModels,
      .minStateVars = hs::kSmallStrainVars,
      .stressDependent = true,
      .timeDependent = false,
      .copySoilProp = hs::CopySoilProp,
      .perTestCompletion = hs::PerTestCompletion,
      .genMatShearModulus = hs::GenMatShearModulus,
      .initPoint = hs::InitPoint,
      .stress = hs::Stress,
      .elasticMatrix = hs::ElasticMatrix,
  };
  return family;
}

}  // namespace soilcal::models
