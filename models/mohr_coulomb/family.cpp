// Model 2, Mohr-Coulomb with tension cut-off: no extra parameter checks, the
// shear modulus of the linear rule, the closed-form return MC_Sig.
#include "models/family.hpp"
#include "models/mohr_coulomb/mc_sig.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

constexpr int kModels[] = {2};

double ShearModulus(const GenMatCall& call) { return LinearShearModulus(*call.prop, call.y); }

void Stress(StressCall& call, ModelResources&) { MC_Sig(call); }

}  // namespace

const ModelFamily& MohrCoulombFamily() {
  static const ModelFamily family{
      .name = "mohr_coulomb",
      .models = kModels,
      .genMatShearModulus = ShearModulus,
      .stress = Stress,
  };
  return family;
}

}  // namespace soilcal::models
