// Placeholder so the tree links; replaced by the error reporting.
#include "services/errors.hpp"

namespace soilcal::services {
void StopWithError(int code) { throw RunError(code); }
void KernelError(int n, const KernelMessageTexts&) { throw KernelAbort(n, "ZIrez", " Error " + std::to_string(n) + " in program"); }
void KernelErrorWithTexts(const std::string& main, const std::string&) { throw KernelAbort(247, "ZIrez", main); }
void SetVirtualLabMode(int) {}
int VirtualLabMode() { return 1; }
}  // namespace soilcal::services
