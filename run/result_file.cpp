// Writer of Optimization_result.txt. Every line begins with one blank; a key
// line is " key = value" with the value in shortest round-trip form.
#include "run/result_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "services/channels.hpp"
#include "services/clock.hpp"
#include "services/console.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/output_file.hpp"
#include "services/paths.hpp"

namespace soilcal::run {
namespace {

constexpr int kFirstFreeUnit = 10;
constexpr int kDayMs = 86400000;
// A mean relative error this large is a penalty value of the objective: the
// best curves overlapped their measured curves too little.
constexpr double kSmallOverlapError = 5e22;

}  // namespace

ResultFile::~ResultFile() { Close(); }

bool ResultFile::Open(const std::string& path) {
  Close();
  const int unit = services::FindFreeUnit(kFirstFreeUnit);
  openError_ = 0;
  if (!services::OpenWithRetry(unit, path, services::OpenMode::kWrite, &openError_)) return false;
  file_ = services::UnitFile(unit);
  owned_ = true;
  unit_ = unit;
  path_ = services::ResolvePath(path);
  return file_ != nullptr;
}

void ResultFile::Attach(std::FILE* f) {
  Close();
  file_ = f;
  owned_ = false;
}

void ResultFile::Put(const std::string& text) {
  if (!file_) return;
  if (file_ == stdout) {
    // Standard output is the run's console (captured for a library caller).
    services::ConsoleWrite(services::ConsoleStream::kOut, text);
    return;
  }
  if (owned_) written_ += text;
  errno = 0;
  if (std::fputs(text.c_str(), file_) == EOF && writeError_ == 0) {
    writeError_ = errno != 0 ? errno : EIO;
  }
}

void ResultFile::Flush() {
  if (!file_) return;
  errno = 0;
  if (std::fflush(file_) != 0 && owned_ && writeError_ == 0) writeError_ = errno != 0 ? errno : EIO;
}

void ResultFile::Close() {
  if (file_ && owned_) {
    Flush();
    // The host reads the file once the process has ended: its data go to
    // the disk before that.
    if (writeError_ == 0 && ::fsync(::fileno(file_)) != 0 && errno != EINVAL) writeError_ = errno;
    errno = 0;
    if (!services::CloseUnit(unit_) && writeError_ == 0) writeError_ = errno != 0 ? errno : EIO;
    if (writeError_ != 0) {
      services::ReportOutputFailure(path_, services::ErrorText(writeError_) +
                                               "; the result follows on standard output");
      services::ConsoleWrite(services::ConsoleStream::kOut, written_);
    }
  } else if (file_) {
    std::fflush(file_);  // standard output: a reader that went away is no failure of ours
  }
  file_ = nullptr;
  owned_ = false;
  unit_ = 0;
  path_.clear();
  written_.clear();
  writeError_ = 0;
}

void ResultFile::Restart() {
  if (!file_ || !owned_) return;
  Flush();
  errno = 0;
  if (::ftruncate(::fileno(file_), 0) != 0 && writeError_ == 0) writeError_ = errno != 0 ? errno : EIO;
  std::rewind(file_);
  written_.clear();
  lastGeneral_.reset();
}

void ResultFile::WriteEmptyLine() { Put(" \n"); }

void ResultFile::WriteHeader(const std::string& section) { Put(" [" + section + "]\n"); }

void ResultFile::WriteKeyInteger(const std::string& key, long long value) {
  Put(" " + services::TrimRight(key) + " = " + std::to_string(value) + "\n");
}

void ResultFile::WriteKeyReal(const std::string& key, double value) {
  Put(" " + services::TrimRight(key) + " = " + services::FormatReal(value) + "\n");
}

void ResultFile::WriteGeneralSection(int exitCode, const RunClock& start) {
  int wallMs = services::WallClockMs() - start.wallMs;
  if (wallMs < 0) wallMs += kDayMs;  // the run passed midnight
  const double cpu = services::CpuTime() - start.cpu;
  lastGeneral_ = GeneralRecord{exitCode, wallMs, cpu};
  WriteEmptyLine();
  WriteHeader("General");
  WriteKeyInteger("Wall Time [ms]", wallMs);
  WriteKeyReal("CPU Time", cpu);
  WriteKeyInteger("Exit Code", exitCode);
  if (exitCode != 0) WriteKeyInteger(ExitCodeName(exitCode), exitCode);
  Flush();
}

void ResultFile::WriteOptimisationResult(std::span<const double> best,
                                         std::span<const int> index, int baseModel,
                                         double meanError,
                                         std::span<const double> sensitivity, int exitCode,
                                         const RunClock& start) {
  if (meanError > kSmallOverlapError) services::StopWithError(services::kSmallOverlapCurves);
  WriteGeneralSection(exitCode, start);

  WriteEmptyLine();
  WriteHeader("Params");
  for (std::size_t j = 0; j < best.size(); ++j) {
    WriteKeyReal(ParamName(j < index.size() ? index[j] : 0, baseModel), best[j]);
  }

  WriteEmptyLine();
  WriteHeader("Objective info");
  WriteKeyReal("Relative Error", meanError);

  WriteEmptyLine();
  WriteHeader("Relative Sensitivity");
  for (std::size_t j = 0; j < sensitivity.size(); ++j) {
    WriteKeyReal(ParamName(j < index.size() ? index[j] : 0, baseModel), sensitivity[j]);
  }
  Flush();
}

}  // namespace soilcal::run
