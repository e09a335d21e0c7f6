// The runs of a workbench: each one the program itself in a child process
// on a job (`soilcal --progress=curves --exit-status [--search=...] JOB`), its
// merged standard output and error read line by line into events. A crashed
// or killed run ends with an event like any other; the server goes on.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace soilcal::web {

enum class StartResult { kStarted, kAlreadyRunning, kTooManyRuns, kCannotStart };

// Events as JSON objects, in order:
//   {"type":"start","search":"default","threads":2}
//   {"type":"progress","elapsed_ms":T,"at_ms":U,"progress":{...}}  (a --progress=json line;
//       U the server's clock, ms since 1970, when it read the line)
//   {"type":"measured_curves",...,"measured_curves":{...}} once, then
//   {"type":"best_curves",...,"best_curves":{...}} after each new best point
//       (run/live_curves.hpp); only the latest is kept, earlier ones become
//   {"type":"superseded"}
//   {"type":"message","text":"..."}                        (any other line of the run)
//   {"type":"end","exit_code":N,"signal":S,"elapsed_ms":T} (last; signal 0 unless killed)
class RunManager {
 public:
  RunManager(std::string program, int maxRuns);
  ~RunManager();
  RunManager(const RunManager&) = delete;
  RunManager& operator=(const RunManager&) = delete;

  // Starts a run of `job` (absolute) under the name `key`.
  StartResult Start(const std::string& key, const std::filesystem::path& job,
                    const std::string& search, int threads);
  bool Running(const std::string& key);
  // False when no run of `key` is known. Otherwise copies the events from
  // index `from` on, waiting up to `wait` while there are none and the run
  // goes on; `ended` tells whether the last event is the end.
  bool EventsSince(const std::string& key, std::size_t from, std::chrono::milliseconds wait,
                   std::vector<std::string>& events, bool& ended);
  // Interrupts every run (SIGINT: each ends as an interrupted run, exit
  // code 18, its files complete) and waits for them.
  void StopAll();
  int maxRuns() const { return maxRuns_; }

 private:
  struct Run {
    pid_t pid = -1;
    int fd = -1;
    std::vector<std::string> events;
    bool ended = false;
    std::size_t lastCurves = static_cast<std::size_t>(-1);  // index of the latest best curves
    std::chrono::steady_clock::time_point start;
    std::thread reader;
  };
  void Read(std::shared_ptr<Run> run);
  void Add(Run& run, std::string event);

  std::string program_;
  int maxRuns_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::shared_ptr<Run>> runs_;
};

}  // namespace soilcal::web
