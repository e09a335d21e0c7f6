// One job of a batch: where its run writes, and how it ended.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "services/errors.hpp"

namespace soilcal::batch {

// The figures of a finished job, read from its calibration_summary.json.
struct JobFigures {
  std::optional<double> meanError;   // best mean relative error, percent
  std::optional<double> objective;   // best objective
  std::optional<long> evaluations;
  // Calibrated value of each free parameter by its column name: the name of
  // the summary, with its unit in brackets when the summary gives one
  // ("phi (°)"), in the job's order.
  std::vector<std::pair<std::string, double>> parameters;
};

struct BatchJob {
  std::string path;          // as listed
  std::string outputFolder;  // where its run writes (with the trailing '/')
  std::string logPath;       // its console output
  bool started = false;
  double startedAt = 0.0;    // file-clock seconds when its run began
  bool finished = false;
  // Process status of its run under --exit-status (0 success, 1 kernel
  // error, 2..19 run error), 128 + n after signal n; 18 until it ran.
  int status = services::kUserAbort;
  int signal = 0;            // the signal that ended it (0 none)
  double wallSeconds = 0.0;
  JobFigures figures;
};

// Reads the figures of `summaryPath` when the file was written at or after
// `notBefore` (seconds of the file clock, less the 20 ms by which a file's
// coarse time stamp may lag): an older summary belongs to an earlier run.
// Nothing when it is missing, older or unreadable.
JobFigures ReadJobFigures(const std::string& summaryPath, double notBefore);

}  // namespace soilcal::batch
