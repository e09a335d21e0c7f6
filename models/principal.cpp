// Placeholder so the tree links; replaced by the Jacobi decomposition.
#include "models/principal.hpp"

namespace soilcal::models {
Principal PrincipalStresses(const Vec6&) { return {}; }
Principal PrincipalStrains(const Vec6&) { return {}; }
Vec6 RebuildStress(const Vec3&, const Mat3&) { return {}; }
}  // namespace soilcal::models
