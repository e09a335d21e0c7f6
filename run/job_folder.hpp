// The job folder as a run meets it. Before the first byte is written there,
// the optimisation file is read, no output may replace an input, the folder
// is taken (one run per folder) and the previous run's outputs are cleared;
// only then are the diagnostic log and the result file opened. At the end
// the files are closed, every failure to write them is said, and the folder
// is let go.
#pragma once

#include <string>

#include "input/records.hpp"
#include "run/result_file.hpp"
#include "services/errors.hpp"
#include "services/folder_lock.hpp"

namespace soilcal::run {

struct JobFolder {
  std::string folder;         // the optimisation file's folder ("" = the current one)
  services::FolderLock lock;  // held from the preparation to CloseJobFolder
  // Stopped before anything was written into the folder (another run works
  // there, or an input is named like an output): the result went to
  // standard output only, and no summary or report is to be written.
  bool untouched = false;
};

// The run error of a job folder that another run holds (`lock` found it
// busy): it names that run and tells what to do.
services::RunError FolderBusyError(const std::string& folder, const services::FolderLock& lock);

// Prepares the folder of the optimisation file `argument` and reads that
// file into `job`. Raises the run errors of the optimisation file (once the
// result file is open), of an input named like an output and of a folder
// where another run works (both before anything is written). A lock of the
// folder already in `place` (taken by the caller) is kept, not taken again.
void PrepareJobFolder(JobFolder& place, const std::string& argument, input::Job& job,
                      ResultFile& result);
// A run without an argument: its result goes to the current folder, which
// is taken like a job folder.
void PrepareCurrentFolder(JobFolder& place, ResultFile& result);
// Closes the result file and the diagnostic log (saying what could not be
// written) and every unit, and lets the folder go.
void CloseJobFolder(JobFolder& place, ResultFile& result);

}  // namespace soilcal::run
