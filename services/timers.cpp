// Timer table and the run-time report on the diagnostic channel. In a
// calibration run no named timer runs, so the report is the totals and the
// "Rest" line.
#include <array>
#include <mutex>
#include <string>

#include "services/clock.hpp"
#include "services/diag.hpp"
#include "services/run_services.hpp"

namespace soilcal::services {
namespace {

constexpr int kDayMs = 86400000;

// The timers of the run bound to this thread.
TimerTable& Table() { return CurrentServices().timers; }

// Wall-clock difference that survives one pass through midnight.
int WallDifference(int from, int to) {
  int d = to - from;
  if (d < -100) d += kDayMs;
  return d;
}

void StopRunningLocked(TimerTable& t) {
  if (t.running == 0) return;
  t.cpu[t.running] += CpuTime() - t.cpuAtStart;
  t.wallMs[t.running] += WallDifference(t.wallAtStart, WallClockMs());
  if (t.reportLevel >= 1) Diag().Line("TrkT_Stop :", t.running);
  t.running = 0;
}

std::string Seconds(double s) { return FormatReal(s) + " s"; }
std::string Millis(double ms) { return FormatReal(ms) + " ms"; }

}  // namespace

void TimerReset(int reportLevel) {
  TimerTable& t = Table();
  std::lock_guard lock(t.mutex);
  t.reportLevel = reportLevel;
  t.cpu.fill(0.0);
  t.wallMs.fill(0.0);
  t.used.fill(false);
  t.running = 0;
  t.cpuAtReset = CpuTime();
  t.wallAtReset = WallClockMs();
  t.enabled = true;
}

void TimerStart(int id) {
  TimerTable& t = Table();
  std::lock_guard lock(t.mutex);
  if (!t.enabled || id < 1 || id > kMaxTimer) return;
  StopRunningLocked(t);
  t.running = id;
  t.used[id] = true;
  t.cpuAtStart = CpuTime();
  t.wallAtStart = WallClockMs();
  if (t.reportLevel >= 1) Diag().Line("TrkT_Start:", id);
}

void TimerStop() {
  TimerTable& t = Table();
  std::lock_guard lock(t.mutex);
  StopRunningLocked(t);
}

void TimerReport() {
  TimerTable& t = Table();
  std::lock_guard lock(t.mutex);
  if (!t.enabled || !Diag().on()) return;
  StopRunningLocked(t);
  const double cpuTotal = CpuTime() - t.cpuAtReset;
  const double wallTotal = WallDifference(t.wallAtReset, WallClockMs());
  Diag().Line("Total cpu  : " + Seconds(cpuTotal));
  Diag().Line("Total wall : " + Millis(wallTotal));
  double cpuTimed = 0.0;
  double wallTimed = 0.0;
  for (int id = 1; id <= kMaxTimer; ++id) {
    if (!t.used[id]) continue;
    Diag().Line("Timer " + std::to_string(id) + " : " + Seconds(t.cpu[id]) + "  " +
                Millis(t.wallMs[id]));
    cpuTimed += t.cpu[id];
    wallTimed += t.wallMs[id];
  }
  Diag().Line("Rest : " + Seconds(cpuTotal - cpuTimed) + "  " + Millis(wallTotal - wallTimed));
}

}  // namespace soilcal::services
