// Set-up of a material set and its stress point before a test: the checks
// and derived slots of CopySoilProp, the per-test completion, the shear
// modulus and strength values of GenMat, and the start values of the
// model state. The generic parts live here; each family adds its own rules
// through its ModelFamily table.
#pragma once

#include "models/family.hpp"
#include "models/material.hpp"

namespace soilcal::models {

// Checks and completes the parameters of set `iSet` (reports and stops on a
// parameter error). Returns the reduced model number.
// `nPropSoil` is the number of material sets (a larger |iSet| is noted on
// unit 2 and clamped).
int CopySoilProp(int iSet, MaterialSet& set, const ModelConstants& k, int nPropSoil = 1);
// Per-test completion by reduced model number; 0, or 2 when the cap
// parameters could not be found.
int PerTestCompletion(int model, PropSoil& prop, const ModelConstants& k,
                      const ModelResources& res);
// Shear modulus and strength values of a point (entries 0, 2, 3, 4 of the
// record).
void GenMat(const GenMatCall& call, PointMatState& pms);
// Start values of the point's model state; returns an error count.
int InitStressPoint(PointInitCall& call);

// Cohesion of a point at vertical coordinate y:
// max(0, slot 4 + slot 7 * max(0, slot 6 - y)).
double CohesionAtDepth(const PropSoil& prop, double y);
// Shear modulus growing linearly with depth (models 1, 2, 14, 15):
// max(0.001 Gref, Gref + slot 19 * max(0, slot 6 - y)); a negative Gref
// means G = |Gref| * c with c the cohesion at the point.
double LinearShearModulus(const PropSoil& prop, double y);

}  // namespace soilcal::models
