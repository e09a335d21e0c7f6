#include "run/run_timer.hpp"

#include <utility>

#include "services/clock.hpp"

namespace soilcal::run {
namespace {

void Add(report::RunTimes& times, const std::string& part, double wall, double cpu) {
  times.wall += wall;
  times.cpu += cpu;
  for (report::TimePart& p : times.parts) {
    if (p.name != part) continue;
    p.wall += wall;
    p.cpu += cpu;
    return;
  }
  times.parts.push_back({part, wall, cpu});
}

}  // namespace

RunTimer::RunTimer(std::string part)
    : current_(std::move(part)), wall0_(std::chrono::steady_clock::now()),
      cpu0_(services::CpuTime()) {}

void RunTimer::Enter(const std::string& part) {
  if (part == current_) return;
  const auto wall = std::chrono::steady_clock::now();
  const double cpu = services::CpuTime();
  Add(done_, current_, std::chrono::duration<double>(wall - wall0_).count(), cpu - cpu0_);
  current_ = part;
  wall0_ = wall;
  cpu0_ = cpu;
}

report::RunTimes RunTimer::Now() const {
  report::RunTimes times = done_;
  Add(times, current_,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0_).count(),
      services::CpuTime() - cpu0_);
  return times;
}

}  // namespace soilcal::run
