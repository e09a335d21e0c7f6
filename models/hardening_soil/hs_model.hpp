// Entry points of the Hardening Soil family (models 6 and 19) that its
// ModelFamily table lists.
#pragma once

#include "models/family.hpp"
#include "models/hardening_soil/hs_return.hpp"

namespace soilcal::models::hs {

// Slots of the family in the material parameter vector.
inline constexpr int kSlotGref = 1, kSlotNu = 2, kSlotSinPhi = 3, kSlotCref = 4;
inline constexpr int kSlotAlpha = 31, kSlotKsKc = 32, kSlotPowerM = 34, kSlotPref = 35;
inline constexpr int kSlotGiRef = 36, kSlotRf = 37, kSlotEoedRef = 38, kSlotK0nc = 39;
inline constexpr int kSlotE50Ref = 40, kSlotFailureCriterion = 48, kSlotG0Ref = 49,
                     kSlotGamma07 = 50;

// Stress routine with its elastic follow-up.
void Stress(StressCall& call, ModelResources& res);
// Isotropic stiffness of the current tangent modulus (model 19; model 6
// gets the matrix of the point's G).
void ElasticMatrix(ElasticCall& call);

void CopySoilProp(int iSet, PropSoil& prop, const ModelConstants& k);
// Cap parameters before a test: 0, or 2 when they cannot be found.
int PerTestCompletion(PropSoil& prop, const ModelConstants& k, const ModelResources& res);
double GenMatShearModulus(const GenMatCall& call);
int InitPoint(PointInitCall& call);

// Unloading-reloading shear modulus of a stress (tension positive) for a
// set: Gref times the stress factor of the minor compressive principal stress.
double StressDependentG(const PropSoil& prop, double sigma3c, double cCosPhi, double prefDefault);

// Values of one call from the point's moduli: `Gur` the unloading-reloading
// modulus, `Gel` the elastic modulus of the return (G_ur, or the small-strain
// secant of model 19).
Material DeriveMaterial(const StressCall& call, double Gur, double Gel);

}  // namespace soilcal::models::hs
