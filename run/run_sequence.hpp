// The program's run sequence: start-up, input, reference run, optimiser.
#pragma once

namespace soilcal::run {

// Runs one calibration job from the command line. Always returns 0: the
// outcome is the "Exit Code" of Optimization_result.txt.
int RunSequence(int argc, char** argv);

}  // namespace soilcal::run
