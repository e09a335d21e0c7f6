// The program's run sequence: start-up, input, reference run, optimiser.
#pragma once

#include "services/console.hpp"

#include "services/folder_lock.hpp"

namespace soilcal::run {

// Runs one calibration job from the command line. Always returns 0: the
// outcome is the "Exit Code" of Optimization_result.txt.
int RunSequence(int argc, char** argv);

// The same run in a job folder whose lock the caller took before it wrote
// the job there (the TOML front end): the run keeps that lock for its whole
// length instead of taking the folder again, and lets it go at its end.
int RunSequence(int argc, char** argv, services::FolderLock heldLock);

// The same run for a front end beside the host's door: the console lines go
// to `console` (nullptr: stdout and stderr) and the process status of the
// outcome comes back whatever --exit-status says (0 success, the exit code,
// 1 for a kernel error).
int RunSequenceForStatus(int argc, char** argv, services::FolderLock heldLock,
                         services::ConsoleSink* console);

}  // namespace soilcal::run
