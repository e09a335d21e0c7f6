// Wall clock, process CPU time, the "%I" message placeholder and the free
// physical memory report.
#include "services/clock.hpp"

#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "services/diag.hpp"

namespace soilcal::services {

int WallClockMs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  return local.tm_hour * 3600000 + local.tm_min * 60000 + local.tm_sec * 1000 +
         static_cast<int>(now.tv_nsec / 1000000);
}

double CpuTime() {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string FillIntegerPlaceholder(const std::string& text, long long value) {
  const auto at = text.find("%I");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + std::to_string(value) + text.substr(at + 2);
}

namespace {

// Available physical memory in bytes from /proc/meminfo (MemAvailable, or
// MemFree on old kernels); returns false when neither line can be read.
bool AvailableMemoryBytes(unsigned long long& bytes) {
  std::ifstream meminfo("/proc/meminfo");
  if (!meminfo) return false;
  std::string line;
  unsigned long long freeKb = 0;
  bool haveFree = false;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string key;
    unsigned long long kb = 0;
    if (!(fields >> key >> kb)) continue;
    if (key == "MemAvailable:") {
      bytes = kb * 1024ULL;
      return true;
    }
    if (key == "MemFree:") {
      freeKb = kb;
      haveFree = true;
    }
  }
  if (haveFree) bytes = freeKb * 1024ULL;
  return haveFree;
}

}  // namespace

void ReportFreeMemory() {
  if (!Diag().on()) return;
  unsigned long long bytes = 0;
  if (AvailableMemoryBytes(bytes)) {
    Diag().Line(std::to_string(bytes / (1024ULL * 1024ULL)) + " MB (free) physical memory");
  } else {
    Diag().Line("GlobalMemoryStatusEx failed, status = " + std::to_string(errno));
  }
}

}  // namespace soilcal::services
