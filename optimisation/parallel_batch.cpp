#include "optimisation/parallel_batch.hpp"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/run_services.hpp"

namespace soilcal::optimisation {
namespace {

// A diagnostic channel writing into memory, bound to the calling thread
// while it lives.
class BufferedDiag {
 public:
  BufferedDiag() : file_(open_memstream(&data_, &size_)) {
    if (file_ != nullptr) {
      channel_.Attach(file_, false);
      redirect_.emplace(channel_);
    }
  }
  ~BufferedDiag() {
    Close();
    std::free(data_);  // open_memstream's buffer
  }
  BufferedDiag(const BufferedDiag&) = delete;
  BufferedDiag& operator=(const BufferedDiag&) = delete;

  // The lines written so far; the channel is closed afterwards.
  std::string Take() {
    Close();
    return data_ != nullptr ? std::string(data_, size_) : std::string();
  }

 private:
  void Close() {
    redirect_.reset();
    channel_.Detach();
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
  services::DiagChannel channel_;
  std::optional<services::DiagRedirect> redirect_;
};

struct TaskOutcome {
  std::string diag;
  std::exception_ptr error;
  bool ran = false;
};

void LowerTo(std::atomic<int>& value, int k) {
  int seen = value.load();
  while (k < seen && !value.compare_exchange_weak(seen, k)) {
  }
}

// The CPU time of each task, when the run asks for it.
class TaskClock {
 public:
  TaskClock(int count, int threads) : timing_(services::CurrentServices().batchTiming) {
    if (timing_ == nullptr) return;
    timing_->batches.push_back({threads, std::vector<double>(static_cast<std::size_t>(count), 0.0)});
    cpu_ = &timing_->batches.back().taskCpu;
  }
  bool on() const { return cpu_ != nullptr; }
  double Start() const { return on() ? services::ThreadCpuTime() : 0.0; }
  void Stop(int k, double start) {
    if (on()) (*cpu_)[static_cast<std::size_t>(k)] = services::ThreadCpuTime() - start;
  }

 private:
  services::BatchTiming* timing_;
  std::vector<double>* cpu_ = nullptr;
};

bool RunSerial(Problem& problem, int count, const std::function<void(int, Problem&)>& work,
               const std::function<bool(int)>& complete, const std::function<bool()>& stop) {
  TaskClock clock(count, 1);
  for (int k = 0; k < count; ++k) {
    if (stop && stop()) return false;
    const double start = clock.Start();
    work(k, problem);
    clock.Stop(k, start);
    if (!complete(k)) return true;
  }
  return true;
}

}  // namespace

int EvaluationThreads() { return std::max(1, omp_get_max_threads()); }

ProblemPool::ProblemPool(Problem& primary, int threads) : primary_(primary) {
  if (threads <= 0) threads = EvaluationThreads();
  for (int t = 1; t < threads; ++t) {
    std::unique_ptr<Problem> clone = primary.Clone();
    if (!clone) break;
    clones_.push_back(std::move(clone));
  }
}

services::WorkerTeam& ProblemPool::team() {
  if (!team_) team_ = std::make_unique<services::WorkerTeam>();
  return *team_;
}

bool ProblemPool::SetPrecision(Precision precision) {
  if (!primary_.SetPrecision(precision)) return false;
  for (auto& clone : clones_) clone->SetPrecision(precision);
  return true;
}

bool RunBatch(ProblemPool& pool, int count, const std::function<void(int, Problem&)>& work,
              const std::function<bool(int)>& complete, const std::function<bool()>& stop) {
  const int threads = std::min(pool.threads(), count);
  // A batch inside a task of another batch stays on that task's thread.
  if (threads <= 1 || services::InTeamWork()) {
    return RunSerial(pool.primary(), count, work, complete, stop);
  }
  services::RunServices& run = services::CurrentServices();
  const bool diagOn = services::Diag().on();
  const unsigned long fpWord = services::FpControlWord();
  std::vector<TaskOutcome> outcomes(static_cast<std::size_t>(count));
  TaskClock clock(count, threads);
  // Tasks after the lowest failed one are never looked at.
  std::atomic<int> firstFailed{count};
  // Set once `stop` said true: no task starts after it.
  std::atomic<bool> stopped{false};

  // The next task to start: each thread takes one at a time, in order.
  std::atomic<int> next{0};

  pool.team().Run(threads, [&](int t) {
    services::SetFpControlWord(fpWord);
    services::ServicesBinding binding(run);
    Problem& problem = pool.ForThread(t);
    for (int k = next.fetch_add(1); k < count; k = next.fetch_add(1)) {
      if (k > firstFailed.load()) continue;
      if (stopped.load() || (stop && stop())) {
        stopped.store(true);
        continue;
      }
      TaskOutcome& out = outcomes[static_cast<std::size_t>(k)];
      std::optional<BufferedDiag> buffer;
      if (diagOn) buffer.emplace();
      const double start = clock.Start();
      try {
        work(k, problem);
      } catch (...) {
        out.error = std::current_exception();
        LowerTo(firstFailed, k);
      }
      clock.Stop(k, start);
      if (buffer) out.diag = buffer->Take();
      out.ran = true;
    }
  });

  for (int k = 0; k < count; ++k) {
    TaskOutcome& out = outcomes[static_cast<std::size_t>(k)];
    if (!out.ran) return false;
    if (diagOn) services::Diag().Append(out.diag);
    if (out.error) std::rethrow_exception(out.error);
    if (!complete(k)) return true;
  }
  return true;
}

}  // namespace soilcal::optimisation
