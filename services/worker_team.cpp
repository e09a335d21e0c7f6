#include "services/worker_team.hpp"

#include <algorithm>
#include <system_error>

namespace soilcal::services {
namespace {

thread_local bool inTeamWork = false;

}  // namespace

bool InTeamWork() { return inTeamWork; }

TeamWorkScope::TeamWorkScope() : previous_(inTeamWork) { inTeamWork = true; }
TeamWorkScope::~TeamWorkScope() { inTeamWork = previous_; }

WorkerTeam::~WorkerTeam() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void WorkerTeam::Start(int threads) {
  // Thread t of the team is threads_[t - 1].
  while (static_cast<int>(threads_.size()) + 1 < threads) {
    const int t = static_cast<int>(threads_.size()) + 1;
    try {
      threads_.emplace_back([this, t] { Work(t); });
    } catch (const std::system_error&) {
      return;  // no more threads to be had: the batch runs on those there are
    }
  }
}

void WorkerTeam::Work(int t) {
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || batch_ != seen; });
    if (stop_) return;
    seen = batch_;
    if (t >= taking_) continue;
    const std::function<void(int)>& body = *body_;
    lock.unlock();
    std::exception_ptr error;
    try {
      TeamWorkScope working;
      body(t);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error) errors_[static_cast<std::size_t>(t)] = error;
    if (--running_ == 0) done_.notify_one();
  }
}

void WorkerTeam::Run(int threads, const std::function<void(int)>& body) {
  Start(threads);
  const int taking = std::min(threads, static_cast<int>(threads_.size()) + 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = &body;
    taking_ = taking;
    running_ = taking - 1;
    errors_.assign(static_cast<std::size_t>(std::max(taking, 1)), nullptr);
    ++batch_;
  }
  if (taking > 1) wake_.notify_all();
  try {
    TeamWorkScope working;
    body(0);
  } catch (...) {
    errors_[0] = std::current_exception();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return running_ == 0; });
  body_ = nullptr;
  for (const std::exception_ptr& e : errors_) {
    if (e) std::rethrow_exception(e);
  }
}

}  // namespace soilcal::services
