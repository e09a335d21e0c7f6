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

bool RunSerial(Problem& problem, int count, const std::function<void(int, Problem&)>& work,
               const std::function<bool(int)>& complete, const std::function<bool()>& stop) {
  for (int k = 0; k < count; ++k) {
    if (stop && stop()) return false;
    work(k, problem);
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

bool ProblemPool::SetPrecision(Precision precision) {
  if (!primary_.SetPrecision(precision)) return false;
  for (auto& clone : clones_) clone->SetPrecision(precision);
  return true;
}

bool RunBatch(ProblemPool& pool, int count, const std::function<void(int, Problem&)>& work,
              const std::function<bool(int)>& complete, const std::function<bool()>& stop) {
  const int threads = std::min(pool.threads(), count);
  if (threads <= 1) return RunSerial(pool.primary(), count, work, complete, stop);
  services::RunServices& run = services::CurrentServices();
  const bool diagOn = services::Diag().on();
  const unsigned long fpWord = services::FpControlWord();
  std::vector<TaskOutcome> outcomes(static_cast<std::size_t>(count));
  // Tasks after the lowest failed one are never looked at.
  std::atomic<int> firstFailed{count};
  // Set once `stop` said true: no task starts after it.
  std::atomic<bool> stopped{false};

#pragma omp parallel num_threads(threads)
  {
    services::SetFpControlWord(fpWord);
    services::ServicesBinding binding(run);
    Problem& problem = pool.ForThread(omp_get_thread_num());
#pragma omp for schedule(dynamic, 1)
    for (int k = 0; k < count; ++k) {
      if (k > firstFailed.load()) continue;
      if (stopped.load() || (stop && stop())) {
        stopped.store(true);
        continue;
      }
      TaskOutcome& out = outcomes[static_cast<std::size_t>(k)];
      std::optional<BufferedDiag> buffer;
      if (diagOn) buffer.emplace();
      try {
        work(k, problem);
      } catch (...) {
        out.error = std::current_exception();
        LowerTo(firstFailed, k);
      }
      if (buffer) out.diag = buffer->Take();
      out.ran = true;
    }
  }

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
