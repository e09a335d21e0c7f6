// Placeholder so the tree links; replaced by the dispatcher.
#include "models/matsig.hpp"

namespace soilcal::models {
int ReduceModelNumber(int& code) { return code % 100; }
void MatSig(const MatSigInput&, ModelResources&, MatSigOutput& out, MatSigCounters&,
            services::KernelMessageTexts&) { out.iAbort = 246; }
}  // namespace soilcal::models
