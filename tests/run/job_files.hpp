// The small calibration job the run tests spoil, or run side by side: a
// drained triaxial test (version 6) on a Mohr-Coulomb sand in kN and m from
// an isotropic stress of -100, then 20 steps to 5 % axial compression with
// the lateral stresses held; its deviator curve (codes -14 and 5) of
// E = 60000, phi = 38 degrees, c = 1; Gref and sin(phi) free.
#pragma once

#include <filesystem>

namespace soilcal::testing {

// Writes OPTIM.TXT, TRIAX1.VLT and Q_EPS.TXT into `dir`, made if missing.
void WriteSmallJob(const std::filesystem::path& dir, double tolerance = 0.001);

}  // namespace soilcal::testing
