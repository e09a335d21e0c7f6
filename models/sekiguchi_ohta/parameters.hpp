// Set-up of the Sekiguchi-Ohta models 31 (inviscid) and 32 (viscid): the
// checks and derived slots of CopySoilProp, the GenMat shear modulus, the
// point initialisation and the model parameters of a stress call.
//
// Slots: 2 nu, 20 initial porosity, 31 M, 33 D = (lambda* - kappa*)/M
// (derived), 34 stiffness power (1), 35 pref, 36 eta of K0 consolidation
// (derived), 37 K0nc, 38 kappa*, 39 lambda*, 40 alpha (viscid), 41 initial
// volumetric strain rate v0 (viscid, per unit of the test's time unit).
// Model state: [0] vertical axis + 1 of the K0 ratio tensor, [1] the
// plastic volumetric compression since the start of the test.
#pragma once

#include "models/family.hpp"
#include "models/sekiguchi_ohta/so_return.hpp"

namespace soilcal::models::sekiguchi_ohta {

inline constexpr int kStateVars = 2;

void CopySoilProp(int iSet, PropSoil& prop, const ModelConstants& k);
double GenMatShearModulus(const GenMatCall& call);
// pc of the point from its initial stress and its pre-consolidation (OCR,
// POP) K0nc state; the vertical axis is the most compressed normal
// direction of the initial stress (yy when they are equal).
int InitPoint(PointInitCall& call);

// Model parameters for a point with shear modulus G whose K0 tensor has the
// vertical axis `axis`; dt is the time increment of the step (viscid form).
SoParams MakeSoParams(int model, const PropSoil& prop, double G, int axis, double dt);

}  // namespace soilcal::models::sekiguchi_ohta
