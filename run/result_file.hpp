// The result file Optimization_result.txt: sections "General", "Params",
// "Objective info" and "Relative Sensitivity".
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>

namespace soilcal::run {

inline constexpr const char* kResultFileName = "Optimization_result.txt";

// Start times of the run, taken at start-up.
struct RunClock {
  int wallMs = 0;      // wall clock, ms since midnight
  double cpu = 0.0;    // process CPU seconds
};

// What the last "General" section said, for the summary beside the file.
struct GeneralRecord {
  int exitCode = 0;
  int wallMs = 0;
  double cpu = 0.0;
};

// Name of exit code `code` ("Unknown error" outside 1..19).
std::string ExitCodeName(int code);
// Name of material-parameter `index` for base model `baseModel` (<= 40 chars).
std::string ParamName(int index, int baseModel);

class ResultFile {
 public:
  ResultFile() = default;
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // Opens (and empties) `path` for writing, through OpenWithRetry; false
  // when it fails, with openError() the errno of the last attempt.
  bool Open(const std::string& path);
  // Writes to an already open stream (standard output, tests); the stream
  // is not owned.
  void Attach(std::FILE* f);
  // Flushes, syncs and closes the file. Every write is checked: when any
  // part of the result could not be written, standard error names the file
  // and the cause, the failure counts for the run's status, and the whole
  // result goes to standard output so that it is not lost.
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  int openError() const { return openError_; }

  // Empties the owned file so that its body can be written anew (a search
  // that went on after the body was written); an attached stream is left
  // as it is, the new body following the old.
  void Restart();
  void WriteGeneralSection(int exitCode, const RunClock& start);
  // The whole body after a search. A mean relative error above 5e22 raises
  // run error 19 instead (through StopWithError).
  void WriteOptimisationResult(std::span<const double> best, std::span<const int> index,
                               int baseModel, double meanError,
                               std::span<const double> sensitivity, int exitCode,
                               const RunClock& start);
  void WriteKeyInteger(const std::string& key, long long value);
  void WriteKeyReal(const std::string& key, double value);
  void WriteHeader(const std::string& section);
  void WriteEmptyLine();
  // The last "General" section written; none before the first.
  const std::optional<GeneralRecord>& lastGeneral() const { return lastGeneral_; }

 private:
  // Writes `text` and keeps it; a failed write keeps its errno.
  void Put(const std::string& text);
  void Flush();

  std::optional<GeneralRecord> lastGeneral_;
  std::FILE* file_ = nullptr;
  bool owned_ = false;
  int unit_ = 0;   // result channel while the file is owned
  std::string path_;     // the file while it is owned
  std::string written_;  // everything written to the owned file
  int writeError_ = 0;   // errno of the first failed write, flush or close
  int openError_ = 0;
};

}  // namespace soilcal::run
