// Completion of a Hoek-Brown set: mb, s and a from GSI and the disturbance
// factor D (Hoek, Carranza-Torres and Corkum 2002), the tension and
// dilatancy defaults and the tensile strength s sci / mb.
#pragma once

#include "models/material.hpp"

namespace soilcal::models::hoek_brown {

void CopySoilProp(int iSet, PropSoil& prop, const ModelConstants& k);

}  // namespace soilcal::models::hoek_brown
