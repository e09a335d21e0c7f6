// Diagnostic channel (unit 2): free-format text lines for the engineer who
// switched them on with the flag file "do_opti". When the channel is closed or
// bound to the null device every writer returns before formatting anything, so
// the calls may stand in the innermost simulation loop.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace soilcal::services {

class DiagChannel {
 public:
  // True when lines really go somewhere (a file, not closed, not /dev/null).
  bool on() const noexcept { return file_.load(std::memory_order_relaxed) != nullptr; }

  // Binds the channel to an open stream; nullptr or a null-device stream turns
  // it off. The channel does not own the stream.
  void Attach(std::FILE* file, bool isNullDevice) noexcept;
  void Detach() noexcept { Attach(nullptr, true); }

  // " text"
  void Line(std::string_view text);
  // " text value" (shortest round-trip form for doubles)
  void Line(std::string_view text, double value);
  void Line(std::string_view text, long long value);
  void Line(std::string_view text, int value) { Line(text, static_cast<long long>(value)); }
  // " text v1 v2 ..."
  void Line(std::string_view text, std::span<const double> values);
  void Line(std::string_view text, std::span<const int> values);
  // " [ERROR] text" and " [ERROR] text value"
  void Error(std::string_view text);
  void Error(std::string_view text, long long value);
  // Writes an already formatted line (a leading blank is added).
  void Raw(const std::string& line);
  // Writes finished lines as they are (lines another channel buffered).
  void Append(std::string_view lines);
  void Flush();

  std::FILE* file() const noexcept { return file_.load(); }

 private:
  std::atomic<std::FILE*> file_{nullptr};
  std::mutex mutex_;
};

namespace detail {
// The channel of this thread when one is bound (services/run_services.hpp
// keeps it), else nullptr; and the channel of threads that bound none.
extern constinit thread_local DiagChannel* threadDiag;
DiagChannel& DefaultDiag();
}  // namespace detail

// The diagnostic channel of this thread: the run's unit 2
// (services/run_services.hpp), or a task's buffer on a worker thread. It is a
// sink only: nothing read back from it changes a computed number. Inline, as
// the innermost loop asks it whether it is on.
inline DiagChannel& Diag() {
  DiagChannel* bound = detail::threadDiag;
  return bound != nullptr ? *bound : detail::DefaultDiag();
}

// Shortest text that reads back to the same double ("1e+30", "0.1", "-3").
std::string FormatReal(double value);

}  // namespace soilcal::services
