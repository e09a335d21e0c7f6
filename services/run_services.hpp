// The services state of one run: its unit table, its diagnostic channel, its
// message state, its timers and its virtual-lab flag. A run binds its own
// state to the threads that work for it, so two calibrations in one process
// never close each other's files or mix their diagnostics. A thread that
// binds nothing uses the process's default state (tools and tests).
#pragma once

#include <array>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "services/batch_timing.hpp"
#include "services/console.hpp"
#include "services/diag.hpp"
#include "services/message_state.hpp"
#include "services/notices.hpp"

namespace soilcal::services {

// Open files by unit number.
struct UnitTable {
  std::mutex mutex;
  std::map<int, std::FILE*> files;
};

inline constexpr int kMaxTimer = 64;

struct TimerTable {
  std::mutex mutex;
  bool enabled = false;
  int reportLevel = 0;
  double cpuAtReset = 0.0;
  int wallAtReset = 0;
  std::array<double, kMaxTimer + 1> cpu{};
  std::array<double, kMaxTimer + 1> wallMs{};
  std::array<bool, kMaxTimer + 1> used{};  // started since the reset
  int running = 0;
  double cpuAtStart = 0.0;
  int wallAtStart = 0;
};

// The warnings given on standard error during a run, in order, for the
// run's summary: a kind ("input" unless the caller names one) and the text.
struct WarningLog {
  std::mutex mutex;
  std::vector<LoggedWarning> entries;
};

struct RunServices {
  RunServices() = default;
  // Closes the files the run left open.
  ~RunServices();
  RunServices(const RunServices&) = delete;
  RunServices& operator=(const RunServices&) = delete;

  UnitTable units;
  DiagChannel diag;
  MessageState messages;
  TimerTable timers;
  WarningLog warnings;
  std::atomic<int> virtualLabMode{0};
  std::atomic<int> outputFailures{0};  // outputs not written (services/output_file.hpp)
  // Where the run's console lines go (nullptr: stdout and stderr), and a flag
  // of the front end that started it which stops the search as an interrupt
  // does (nullptr: none). Both are owned by the front end.
  ConsoleSink* console = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  // The CPU time of every task of the run's parallel batches, when a caller
  // measures them (owned by the caller; nullptr: nothing is timed).
  BatchTiming* batchTiming = nullptr;
};

// The state bound to this thread, or the process's default state.
RunServices& CurrentServices();

// Binds `services` to the calling thread while the object lives; the
// previous binding comes back afterwards.
class ServicesBinding {
 public:
  explicit ServicesBinding(RunServices& services);
  ~ServicesBinding();
  ServicesBinding(const ServicesBinding&) = delete;
  ServicesBinding& operator=(const ServicesBinding&) = delete;

 private:
  RunServices* previous_;
};

// Sends this thread's diagnostic lines to `channel` while the object lives
// (a worker thread buffering the lines of one task); the run's channel, its
// unit 2, stays as it is.
class DiagRedirect {
 public:
  explicit DiagRedirect(DiagChannel& channel);
  ~DiagRedirect();
  DiagRedirect(const DiagRedirect&) = delete;
  DiagRedirect& operator=(const DiagRedirect&) = delete;

 private:
  DiagChannel* previous_;
};

}  // namespace soilcal::services
