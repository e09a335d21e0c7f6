#include "run/run_sequence.hpp"

namespace soilcal::run {

int RunSequence(int, char**) { return 0; }

}  // namespace soilcal::run
