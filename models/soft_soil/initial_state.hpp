// Start values of the preconsolidation pressure of the soft-soil family.
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"

namespace soilcal::models::soft_soil {

// pc at the start of a test: the larger of the equivalent pressures of the
// initial stress and of the K0nc state whose major compressive stress is the
// pre-consolidation stress (`preconsolidation`, compression negative, from
// OCR and POP), and at least the stress floor. Model 4 measures pressures
// from the apex -c cot(phi), model 8 adds c cot(phi) in the ellipse's
// denominator, model 5 has no shift. K0nc is slot 37, or 1 - sin(phi) of
// the critical state, (6 - 2M)/(6 + M), when slot 37 is not given.
double InitialPc(int model, const PropSoil& prop, const ModelConstants& k,
                 const Vec6& initialStress, double preconsolidation);

// Stress-point initialisation of models 4, 5 and 8; returns an error count.
int InitSoftSoilPoint(PointInitCall& call);

}  // namespace soilcal::models::soft_soil
