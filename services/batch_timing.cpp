#include "services/batch_timing.hpp"

#include <time.h>

#include <algorithm>
#include <functional>
#include <queue>

namespace soilcal::services {

double BatchTiming::TaskCpu() const {
  double sum = 0.0;
  for (const Batch& b : batches) {
    for (double t : b.taskCpu) sum += t;
  }
  return sum;
}

long BatchTiming::Tasks() const {
  long count = 0;
  for (const Batch& b : batches) count += static_cast<long>(b.taskCpu.size());
  return count;
}

double ThreadCpuTime() {
  timespec t{};
  if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0.0;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double GreedyMakespan(std::span<const double> taskCpu, int threads) {
  // The times at which each thread is free again, earliest on top.
  std::priority_queue<double, std::vector<double>, std::greater<>> free;
  for (int t = 0; t < std::max(threads, 1); ++t) free.push(0.0);
  double end = 0.0;
  for (double task : taskCpu) {
    const double done = free.top() + task;
    free.pop();
    free.push(done);
    end = std::max(end, done);
  }
  return end;
}

}  // namespace soilcal::services
