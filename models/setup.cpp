// Placeholder implementations so the tree links; replaced by the real set-up.
#include "models/setup.hpp"

namespace soilcal::models {
int CopySoilProp(int, MaterialSet& set, const ModelConstants&) { return ReduceModelNumber(set.modelCode); }
int PerTestCompletion(int, PropSoil&, const ModelConstants&, const ModelResources&) { return 0; }
void GenMat(const GenMatCall&, PointMatState&) {}
int InitStressPoint(PointInitCall&) { return 0; }
}  // namespace soilcal::models
