// The Sekiguchi-Ohta family: models 31 (inviscid) and 32 (viscid). Their
// stiffness follows the mean stress (kappa*), so GenMat refreshes it before
// every load step; model 32 also depends on time.
#include "models/family.hpp"
#include "models/sekiguchi_ohta/parameters.hpp"
#include "models/sekiguchi_ohta/so_sig.hpp"

namespace soilcal::models {
namespace {

constexpr int kModels[] = {31, 32};

void Stress(StressCall& call, ModelResources&) { sekiguchi_ohta::SO_Sig(call); }

}  // namespace

const ModelFamily& SekiguchiOhtaFamily() {
  static const ModelFamily family{
      .name = "sekiguchi_ohta",
      .models = kModels,
      .minStateVars = sekiguchi_ohta::kStateVars,
      .stressDependent = true,
      .timeDependent = true,
      .copySoilProp = sekiguchi_ohta::CopySoilProp,
      .genMatShearModulus = sekiguchi_ohta::GenMatShearModulus,
      .initPoint = sekiguchi_ohta::InitPoint,
      .stress = Stress,
  };
  return family;
}

}  // namespace soilcal::models
