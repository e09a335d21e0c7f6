// Model 15, Hoek-Brown rock mass: the completion of mb, s and a, the shear
// modulus of the linear rule and the principal-stress return HB_Sig.
#include "models/family.hpp"
#include "models/hoek_brown/hb_sig.hpp"
#include "models/hoek_brown/parameters.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

constexpr int kModels[] = {15};

double ShearModulus(const GenMatCall& call) { return LinearShearModulus(*call.prop, call.y); }

void Stress(StressCall& call, ModelResources&) { hoek_brown::HB_Sig(call); }

}  // namespace

const ModelFamily& HoekBrownFamily() {
  static const ModelFamily family{
      .name = "hoek_brown",
      .models = kModels,
      .copySoilProp = hoek_brown::CopySoilProp,
      .genMatShearModulus = ShearModulus,
      .stress = Stress,
  };
  return family;
}

}  // namespace soilcal::models
