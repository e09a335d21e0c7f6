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
int CopySoilProp(int iSet, MaterialSet& set, const ModelConstants& k);
// Per-test completion by reduced model number; 0, or 2 when the cap
// parameters could not be found.
int PerTestCompletion(int model, PropSoil& prop, const ModelConstants& k,
                      const ModelResources& res);
// Shear modulus and strength values of a point (entries 0, 2, 3, 4 of the
// record).
void GenMat(const GenMatCall& call, PointMatState& pms);
// Start values of the point's model state; returns an error count.
int InitStressPoint(PointInitCall& call);

}  // namespace soilcal::models
