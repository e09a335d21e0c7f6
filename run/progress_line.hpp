// One self-updating line on standard error while a calibration runs, shown
// only when standard error is a terminal. The line never reaches the last
// column of the terminal, so it never wraps and every redraw clears it all.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "optimisation/progress.hpp"

namespace soilcal::run {

// The text of the line for `p` after `elapsedSeconds`, at most `columns`
// characters: less important parts are shortened, then left out.
std::string ProgressText(const optimisation::SearchProgress& p, double elapsedSeconds,
                         std::size_t columns = 200);

// One line of JSON for `p` (--progress=json), for a front end that reads the
// run on a pipe: {"progress":{"phase":"iterations","iteration":3,...}}.
// Figures not known yet are null.
std::string ProgressJson(const optimisation::SearchProgress& p);
// Writes ProgressJson(p) as one line on standard error and flushes it.
void WriteProgressJson(const optimisation::SearchProgress& p);
// The same line with the model a comparison runs: {"progress":{"model":M,...}}.
std::string ProgressJson(const optimisation::SearchProgress& p, const std::string& model);
// `line` and a newline on standard error, flushed.
void WriteJsonLine(const std::string& line);

class ProgressLine {
 public:
  // Writes to `out` when `enabled`; otherwise every call does nothing.
  // `columns` 0: the width of the terminal `out` is on, 80 when unknown.
  ProgressLine(std::FILE* out, bool enabled, int columns = 0);
  // Enabled when standard error is a terminal.
  ProgressLine();

  void Show(const optimisation::SearchProgress& p);
  // Ends the line so that later output starts on a line of its own.
  void Finish();

 private:
  std::size_t Width() const;

  std::FILE* out_;
  bool enabled_;
  int columns_;
  bool shown_ = false;
  std::string last_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace soilcal::run
