// Writer of Optimization_result.txt. Every line begins with one blank; a key
// line is " key = value" with the value in shortest round-trip form.
#include "run/result_file.hpp"

#include <string>

#include "services/channels.hpp"
#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
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
  if (!services::OpenWithRetry(unit, path, services::OpenMode::kWrite)) return false;
  file_ = services::UnitFile(unit);
  owned_ = true;
  unit_ = unit;
  return file_ != nullptr;
}

void ResultFile::Attach(std::FILE* f) {
  Close();
  file_ = f;
  owned_ = false;
}

void ResultFile::Close() {
  if (file_ && owned_) {
    std::fflush(file_);
    services::CloseUnit(unit_);
  } else if (file_) {
    std::fflush(file_);
  }
  file_ = nullptr;
  owned_ = false;
  unit_ = 0;
}

void ResultFile::WriteEmptyLine() {
  if (!file_) return;
  std::fputs(" \n", file_);
}

void ResultFile::WriteHeader(const std::string& section) {
  if (!file_) return;
  std::fprintf(file_, " [%s]\n", section.c_str());
}

void ResultFile::WriteKeyInteger(const std::string& key, long long value) {
  if (!file_) return;
  std::fprintf(file_, " %s = %lld\n", services::TrimRight(key).c_str(), value);
}

void ResultFile::WriteKeyReal(const std::string& key, double value) {
  if (!file_) return;
  std::fprintf(file_, " %s = %s\n", services::TrimRight(key).c_str(),
               services::FormatReal(value).c_str());
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
  if (file_) std::fflush(file_);
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
  if (file_) std::fflush(file_);
}

}  // namespace soilcal::run
