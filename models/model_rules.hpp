// Set-up rules of the models that have no family of their own in this
// program (their stress routines are not built, so MatSig refuses them): the
// checks and derived slots of CopySoilProp, the per-test completion and the
// GenMat shear modulus, kept as small table entries.
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"

namespace soilcal::models {

struct ModelRules {
  int model = 0;
  void (*copySoilProp)(int iSet, PropSoil& prop, const ModelConstants& k) = nullptr;
  void (*perTestCompletion)(PropSoil& prop) = nullptr;
  double (*genMatShearModulus)(const GenMatCall& call) = nullptr;
};

// Rules of reduced model `model`, or nullptr.
const ModelRules* FindModelRules(int model);

// The reduced model numbers CopySoilProp accepts without a report.
bool AcceptedByCopySoilProp(int model);

}  // namespace soilcal::models
