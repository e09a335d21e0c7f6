// Atomic output files written at once, each on a thread of its own: the
// sync of each file to the disk (services/output_file.hpp) waits on the
// device, not the processor, so files written one after another wait one
// latency after another. Started together, their syncs overlap each other
// and the caller's next work; Wait gives every outcome in the order the
// writes were started, so that failures are said in that order.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "services/output_file.hpp"

namespace soilcal::services {

class BackgroundWrites {
 public:
  struct Done {
    std::string path;
    WriteStatus status;
  };

  BackgroundWrites() = default;
  ~BackgroundWrites();  // waits for every write
  BackgroundWrites(const BackgroundWrites&) = delete;
  BackgroundWrites& operator=(const BackgroundWrites&) = delete;

  // Starts WriteFileAtomically(path, text); written here and now when no
  // thread can be had.
  void Start(std::string path, std::string text);
  // Waits for every write started so far; their outcomes in start order.
  std::vector<Done> Wait();

 private:
  struct Write {
    std::string path, text;
    WriteStatus status;
    std::thread thread;
  };
  std::vector<std::unique_ptr<Write>> writes_;
};

}  // namespace soilcal::services
