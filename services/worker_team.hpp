// A team of threads for batches of independent work: the caller is thread 0,
// the further threads are started once and wait for the next batch blocked
// on a condition variable, never spinning. A thread that spins while it
// waits takes CPU time from the threads that work whenever the cores are
// shared (other processes, or a scheduler that shares CPU time fairly
// between sessions), and the run's CPU time grows with it; a batch costs
// one wake-up (some µs) instead.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace soilcal::services {

class WorkerTeam {
 public:
  WorkerTeam() = default;
  // Stops and joins the threads.
  ~WorkerTeam();
  WorkerTeam(const WorkerTeam&) = delete;
  WorkerTeam& operator=(const WorkerTeam&) = delete;

  // Runs body(t) for t = 0 .. threads-1 at once, t = 0 on the calling
  // thread, and returns when every call has returned; an exception of a
  // call is raised here (the lowest thread's). Fewer threads take part when
  // the system gives no more; body(0) always runs. Not reentrant.
  void Run(int threads, const std::function<void(int)>& body);

 private:
  void Work(int t);
  void Start(int threads);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int)>* body_ = nullptr;
  int taking_ = 0;            // threads 1 .. taking_-1 work in this batch
  int running_ = 0;           // of them, still working
  unsigned long batch_ = 0;   // counts batches, so that a thread sees a new one
  bool stop_ = false;
  std::vector<std::exception_ptr> errors_;
};

// True on a thread while it works for a team (or any other batch of
// parallel evaluations): nested parallel work stays on that thread.
bool InTeamWork();

// Marks the calling thread as working for a batch while it lives.
class TeamWorkScope {
 public:
  TeamWorkScope();
  ~TeamWorkScope();
  TeamWorkScope(const TeamWorkScope&) = delete;
  TeamWorkScope& operator=(const TeamWorkScope&) = delete;

 private:
  bool previous_;
};

}  // namespace soilcal::services
