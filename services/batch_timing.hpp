// CPU time of the tasks of parallel batches, kept only when a caller asks
// for it (a benchmark of parallel efficiency, never a run of the program).
//
// A thread's CPU clock does not advance while other processes hold the
// cores, so these figures say how evaluations spread over threads even on a
// loaded machine, where wall times say mostly how busy the machine was.
#pragma once

#include <span>
#include <vector>

namespace soilcal::services {

struct BatchTiming {
  struct Batch {
    int threads = 1;              // threads the batch ran on
    std::vector<double> taskCpu;  // CPU s of each task, in task order (0: did not run)
  };
  std::vector<Batch> batches;
  double TaskCpu() const;  // CPU s of all tasks of all batches
  long Tasks() const;
};

// CPU seconds used by the calling thread.
double ThreadCpuTime();

// The time the tasks take on `threads` otherwise idle cores when each task
// goes, in order, to the thread that is free first (a dynamic schedule of
// one task at a time).
double GreedyMakespan(std::span<const double> taskCpu, int threads);

}  // namespace soilcal::services
