// One self-updating line on standard error while a calibration runs, shown
// only when standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "optimisation/progress.hpp"

namespace soilcal::run {

// The text of the line for `p` after `elapsedSeconds`.
std::string ProgressText(const optimisation::SearchProgress& p, double elapsedSeconds);

class ProgressLine {
 public:
  // Writes to `out` when `enabled`; otherwise every call does nothing.
  ProgressLine(std::FILE* out, bool enabled);
  // Enabled when standard error is a terminal.
  ProgressLine();

  void Show(const optimisation::SearchProgress& p);
  // Ends the line so that later output starts on a line of its own.
  void Finish();

 private:
  std::FILE* out_;
  bool enabled_;
  bool shown_ = false;
  std::string last_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace soilcal::run
