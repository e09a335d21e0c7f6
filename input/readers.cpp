// Placeholder so the tree links; replaced by the readers.
#include "input/readers.hpp"

namespace soilcal::input {
void ReadOptimisationInput(const std::string&, Job&) {}
void ReadLabTestInput(LabTest&, LabTest&) {}
void ReadMeasuredCurves(Job&) {}
}  // namespace soilcal::input
