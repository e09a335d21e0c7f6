// The program's run sequence: start-up, input, reference run, optimiser.
#pragma once

#include "services/folder_lock.hpp"

namespace soilcal::run {

// Runs one calibration job from the command line. Always returns 0: the
// outcome is the "Exit Code" of Optimization_result.txt.
int RunSequence(int argc, char** argv);

// The same run in a job folder whose lock the caller took before it wrote
// the job there (the TOML front end): the run keeps that lock for its whole
// length instead of taking the folder again, and lets it go at its end.
int RunSequence(int argc, char** argv, services::FolderLock heldLock);

}  // namespace soilcal::run
