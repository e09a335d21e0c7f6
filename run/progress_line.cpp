// The progress line sits on the terminal line below the cursor: the lines
// the search prints on standard output ("ERROR = ...") then appear above it
// in order, and the line itself is redrawn in place.
#include "run/progress_line.hpp"

#include <cstdio>

#include <unistd.h>

namespace soilcal::run {

namespace {

using optimisation::SearchPhase;

std::string PhaseText(const optimisation::SearchProgress& p) {
  switch (p.phase) {
    case SearchPhase::kReferenceRun: return "reference run";
    case SearchPhase::kStartingPoints: return "starting points";
    case SearchPhase::kIterations: return "iteration " + std::to_string(p.iteration);
    case SearchPhase::kSensitivities: return "sensitivities";
    case SearchPhase::kFinalRun: return "final run";
    case SearchPhase::kUncertainty: return "uncertainty";
  }
  return "";
}

}  // namespace

std::string ProgressText(const optimisation::SearchProgress& p, double elapsedSeconds) {
  char buffer[160];
  std::string text = PhaseText(p);
  text += " | " + std::to_string(p.evaluations) + " evaluations";
  if (p.bestError >= 0.0) {
    std::snprintf(buffer, sizeof buffer, " | best error %.4g %%", p.bestError);
    text += buffer;
  }
  if (p.convergence >= 0.0) {
    std::snprintf(buffer, sizeof buffer, " | change %.2e (tolerance %.2e)", p.convergence,
                  p.tolerance);
    text += buffer;
  }
  std::snprintf(buffer, sizeof buffer, " | %.1f s", elapsedSeconds);
  return text + buffer;
}

ProgressLine::ProgressLine(std::FILE* out, bool enabled)
    : out_(out), enabled_(enabled), start_(std::chrono::steady_clock::now()) {}

ProgressLine::ProgressLine() : ProgressLine(stderr, isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(const optimisation::SearchProgress& p) {
  if (!enabled_) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  last_ = ProgressText(p, elapsed.count());
  // Clear the cursor's line, draw on the next one, come back.
  std::fprintf(out_, "\r\033[K\n\033[K%s\033[A\r", last_.c_str());
  std::fflush(out_);
  shown_ = true;
}

void ProgressLine::Finish() {
  if (!enabled_ || !shown_) return;
  // The last state stays on the cursor's line; the line below is cleared.
  std::fprintf(out_, "\r\033[K%s\n\033[K", last_.c_str());
  std::fflush(out_);
  shown_ = false;
}

}  // namespace soilcal::run
