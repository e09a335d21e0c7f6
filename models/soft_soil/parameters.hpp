// Parameter set-up of the soft-soil family (models 4 soft soil, 5 modified
// Cam-Clay, 8 soft-soil creep): the checks and derived slots of
// CopySoilProp, the per-test completion, and the shear modulus of GenMat
// together with the elastic stiffness update after an elastic step.
//
// Slots: 31 M, 32 lambda*/kappa*, 34 Powerm, 35 pref, 37 K0nc, 38 kappa*,
// 39 lambda*; models 4 and 5 keep kappa = (1 + e0) kappa* in 40; model 8
// reads mu* from 40 and the reference time from 42 and keeps
// lambda* - kappa* in 48, mu*/t in 49 and (lambda* - kappa*)/mu* in 50.
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"

namespace soilcal::models::soft_soil {

// Slope of the critical-state line from K0nc for the ellipse
// F = q^2/M^2 + p (p - pc) with associated flow, K = p/kappa* and G from nu:
// M = 3 sqrt((1-K0)^2/(1+2K0)^2 + (1-2nu)(1-K0)(r-1) /
//            ((1+2K0)(1-2nu) r - (1-K0)(1+nu))),   r = lambda*/kappa*.
// NaN when the root has no real value.
double MFromK0nc(double K0nc, double nu, double lambdaOverKappa);

// CopySoilProp of models 4, 5 and 8: stops with "Material set %I, ... with
// M=0" when slot 31 is below 1e-10, then completes the set.
void CopySoilPropForModel(int model, int iSet, PropSoil& prop, const ModelConstants& k);

// Per-test completion: models 4 and 8 slots 32, 1 and 31 (M from K0nc);
// model 5 slots 1 and 32. Returns 0.
int PerTestCompletionForModel(int model, PropSoil& prop, const ModelConstants& k,
                              const ModelResources& res);

// GenMat shear modulus of models 4, 5 and 8 (model 5 in update mode when the
// call asks for it).
double GenMatShearModulus(const GenMatCall& call);

// Shear modulus of model 5 from the current void ratio e and the
// compressive mean stress p: K = (1 + e) p* / kappa, G = 1.5 K (1-2nu)/(1+nu),
// p* = max(p, pref/100).
double CamClayShearModulus(const PropSoil& prop, double voidRatio, double p);

// Shear modulus of model 4 from the compressive mean stress p:
// G = Gref ((p + c cot phi) / pref)^m with p + c cot phi at least pref/100.
double SoftSoilShearModulus(const PropSoil& prop, double p);

// c cot(phi) of the set (slots 3 and 4), 0 when sin(phi) or c is 0.
double CohesionShift(const PropSoil& prop);

}  // namespace soilcal::models::soft_soil
