// Model 1, linear elasticity: the point stays elastic (no stress routine,
// iArea 0); the shear modulus grows linearly with depth.
#include "models/family.hpp"
#include "models/setup.hpp"

namespace soilcal::models {
namespace {

// 111 is the dispatcher's elastic test case (trial stress returned unchanged).
constexpr int kModels[] = {1, 111};

double ShearModulus(const GenMatCall& call) { return LinearShearModulus(*call.prop, call.y); }

}  // namespace

const ModelFamily& ElasticFamily() {
  static const ModelFamily family{
      .name = "elastic",
      .models = kModels,
      .genMatShearModulus = ShearModulus,
  };
  return family;
}

}  // namespace soilcal::models
