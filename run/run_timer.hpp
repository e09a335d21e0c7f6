// The wall-clock and CPU time of a whole calibration, part by part: where
// the run's time went, for the report, the summary and the console.
#pragma once

#include <chrono>
#include <string>

#include "report/summary.hpp"

namespace soilcal::run {

// The parts of a run in the order a run enters them first.
inline constexpr const char* kReadingPart = "reading and reference run";
inline constexpr const char* kSearchPart = "search";
inline constexpr const char* kWritingPart = "writing";
inline constexpr const char* kUncertaintyPart = "uncertainty";

class RunTimer {
 public:
  // Starts the clock in `part`.
  explicit RunTimer(std::string part = kReadingPart);
  // The current part ends now and `part` begins; a part entered again adds
  // to its earlier time.
  void Enter(const std::string& part);
  // The times up to now, the current part included; the parts add up to the
  // whole.
  report::RunTimes Now() const;

 private:
  report::RunTimes done_;  // the parts that ended
  std::string current_;
  std::chrono::steady_clock::time_point wall0_;
  double cpu0_ = 0.0;
};

}  // namespace soilcal::run
