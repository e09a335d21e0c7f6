// The progress line sits on the terminal line below the cursor: the lines
// the search prints on standard output ("ERROR = ...") then appear above it
// in order, and the line itself is redrawn in place.
#include "run/progress_line.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include <sys/ioctl.h>
#include <unistd.h>

namespace soilcal::run {

namespace {

using optimisation::SearchPhase;

constexpr int kDefaultColumns = 80;

std::string PhaseText(const optimisation::SearchProgress& p) {
  switch (p.phase) {
    case SearchPhase::kReferenceRun: return "reference run";
    case SearchPhase::kStartingPoints: return "starting points";
    case SearchPhase::kIterations: return "iteration " + std::to_string(p.iteration);
    case SearchPhase::kSensitivities: return "sensitivities";
    case SearchPhase::kFinalRun: return "final run";
    case SearchPhase::kUncertainty: return "uncertainty";
    case SearchPhase::kProfiles:
      return "profiles " + std::to_string(p.done) + "/" + std::to_string(p.total);
    case SearchPhase::kWriting: return "writing";
  }
  return "";
}

// One part of the line, in a full and a brief form; rank 0 is the most
// important and is never left out.
struct Piece {
  std::string full, brief;
  int rank = 0;
  bool useBrief = false, dropped = false;
};

std::string Format(const char* format, double a, double b = 0.0) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Join(const std::vector<Piece>& pieces) {
  std::string out;
  for (const Piece& p : pieces) {
    if (p.dropped) continue;
    if (!out.empty()) out += " | ";
    out += p.useBrief ? p.brief : p.full;
  }
  return out;
}

// The pieces ordered from the least important, for shortening and dropping.
std::vector<Piece*> LeastImportantFirst(std::vector<Piece>& pieces) {
  std::vector<Piece*> order;
  for (Piece& p : pieces) order.push_back(&p);
  std::stable_sort(order.begin(), order.end(), [](const Piece* a, const Piece* b) { return a->rank > b->rank; });
  return order;
}

// A figure, or null while it is not known (negative).
std::string Figure(double value) {
  if (value < 0.0) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

std::string ProgressJson(const optimisation::SearchProgress& p) {
  return std::string("{\"progress\":{\"phase\":\"") + optimisation::PhaseName(p.phase) +
         "\",\"iteration\":" + std::to_string(p.iteration) +
         ",\"evaluations\":" + std::to_string(p.evaluations) +
         ",\"best_error\":" + Figure(p.bestError) +
         ",\"best_objective\":" + Figure(p.bestObjective) +
         ",\"convergence\":" + Figure(p.convergence) +
         ",\"done\":" + std::to_string(p.done) + ",\"total\":" + std::to_string(p.total) + "}}";
}

std::string ProgressJson(const optimisation::SearchProgress& p, const std::string& model) {
  std::string line = ProgressJson(p);
  std::string name;
  for (const char c : model) {
    if (c == '"' || c == '\\') name += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) name += c;
  }
  return line.insert(std::string_view("{\"progress\":{").size(), "\"model\":\"" + name + "\",");
}

void WriteJsonLine(const std::string& line) {
  const std::string text = line + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

void WriteProgressJson(const optimisation::SearchProgress& p) { WriteJsonLine(ProgressJson(p)); }

std::string ProgressText(const optimisation::SearchProgress& p, double elapsedSeconds,
                         std::size_t columns) {
  std::vector<Piece> pieces;
  pieces.push_back({PhaseText(p), PhaseText(p), 0});
  const std::string n = std::to_string(p.evaluations);
  pieces.push_back({n + " evaluations", n + " eval.", 2});
  if (p.bestError >= 0.0) {
    pieces.push_back({Format("best error %.4g %%", p.bestError), Format("error %.4g %%", p.bestError), 1});
  }
  if (p.convergence >= 0.0) {
    pieces.push_back({Format("change %.2e (tolerance %.2e)", p.convergence, p.tolerance),
                      Format("change %.1e/%.1e", p.convergence, p.tolerance), 4});
  }
  pieces.push_back({Format("%.1f s", elapsedSeconds), Format("%.0f s", elapsedSeconds), 3});

  std::string text = Join(pieces);
  const std::vector<Piece*> order = LeastImportantFirst(pieces);
  for (Piece* piece : order) {
    if (Columns(text) <= columns) return text;
    piece->useBrief = true;
    text = Join(pieces);
  }
  for (Piece* piece : order) {
    if (Columns(text) <= columns || piece->rank == 0) break;
    piece->dropped = true;
    text = Join(pieces);
  }
  // The phase alone on a very narrow terminal: cut at a character boundary.
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen++ == columns) return text.substr(0, i);
  }
  return text;
}

ProgressLine::ProgressLine(std::FILE* out, bool enabled, int columns)
    : out_(out), enabled_(enabled), columns_(columns), start_(std::chrono::steady_clock::now()) {}

ProgressLine::ProgressLine() : ProgressLine(stderr, isatty(STDERR_FILENO) == 1) {}

std::size_t ProgressLine::Width() const {
  int columns = columns_;
  if (columns <= 0) {
    winsize size{};
    const int fd = fileno(out_);
    columns = fd >= 0 && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col
                                                                              : kDefaultColumns;
  }
  // The last column stays free: a character there makes some terminals
  // wrap, and the redraw would then leave the wrapped part behind.
  return static_cast<std::size_t>(std::max(columns - 1, 1));
}

void ProgressLine::Show(const optimisation::SearchProgress& p) {
  if (!enabled_) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  last_ = ProgressText(p, elapsed.count(), Width());
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
