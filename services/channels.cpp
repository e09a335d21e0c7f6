// Unit table: unit numbers naming open text files. Each run has its own
// table (services/run_services.hpp). Unit 2 is the run's diagnostic channel
// and is mirrored into it whenever it is opened or closed, so the hot code
// only asks Diag().on().
#include "services/channels.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "services/diag.hpp"
#include "services/paths.hpp"
#include "services/regular_file.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

constexpr int kDiagUnit = 2;
constexpr int kHighestUnit = 99;

UnitTable& Units() { return CurrentServices().units; }

std::atomic<int> retryDelayUnitMs{100};

const char* ModeText(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead: return "r";
    case OpenMode::kWrite: return "w";
    case OpenMode::kAppend: return "a";
  }
  return "r";
}

// Opens once; on success the stream is entered in the table (and bound to
// the diagnostic channel for unit 2). Returns errno, 0 on success.
int TryOpen(int unit, const std::string& resolved, OpenMode mode) {
  errno = 0;
  // An input is opened only when it is a regular file: a FIFO never blocks.
  std::FILE* f = mode == OpenMode::kRead ? OpenRegularFile(resolved)
                                         : std::fopen(resolved.c_str(), ModeText(mode));
  if (!f) return errno != 0 ? errno : -1;
  {
    std::lock_guard lock(Units().mutex);
    Units().files[unit] = f;
  }
  if (unit == kDiagUnit) CurrentServices().diag.Attach(f, IsNullDevice(resolved));
  return 0;
}

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int FindFreeUnit(int start) {
  std::lock_guard lock(Units().mutex);
  int unit = start;
  while (Units().files.count(unit) != 0 && unit < kHighestUnit) ++unit;
  return unit;
}

bool IsUnitOpen(int unit) {
  std::lock_guard lock(Units().mutex);
  return Units().files.count(unit) != 0;
}

std::FILE* UnitFile(int unit) {
  std::lock_guard lock(Units().mutex);
  auto it = Units().files.find(unit);
  return it == Units().files.end() ? nullptr : it->second;
}

bool CloseUnit(int unit) {
  std::FILE* f = nullptr;
  {
    std::lock_guard lock(Units().mutex);
    auto it = Units().files.find(unit);
    if (it == Units().files.end()) return true;
    f = it->second;
    Units().files.erase(it);
  }
  // Unbind the diagnostic channel before the stream goes away.
  if (unit == kDiagUnit) CurrentServices().diag.Detach();
  return std::fclose(f) == 0;
}

bool OpenWithRetry(int unit, const std::string& name, OpenMode mode, int* lastError) {
  CloseUnit(unit);
  const std::string resolved = ResolvePath(name);
  for (int attempt = 1; attempt <= 5; ++attempt) {
    const int status = TryOpen(unit, resolved, mode);
    if (status == 0) return true;
    if (lastError != nullptr) *lastError = status;
    // A folder or a FIFO named as an input stays one: no use waiting.
    if (mode == OpenMode::kRead && (status == EISDIR || status == EINVAL)) return false;
    const int delay = retryDelayUnitMs.load() * attempt;
    if (Diag().on()) {
      Diag().Line("Problem to opening " + TrimRight(name) + " ios = " + std::to_string(status));
      Diag().Flush();
    }
    SleepMs(delay);
    CloseUnit(unit);
  }
  return false;
}

void SetRetryDelayUnitMs(int ms) { retryDelayUnitMs.store(ms); }

void CloseAllUnits() {
  std::map<int, std::FILE*> open;
  {
    std::lock_guard lock(Units().mutex);
    open = Units().files;
  }
  for (const auto& entry : open) CloseUnit(entry.first);
}

}  // namespace soilcal::services
