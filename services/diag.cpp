#include "services/diag.hpp"

#include <charconv>

namespace soilcal::services {

std::string FormatReal(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void DiagChannel::Attach(std::FILE* file, bool isNullDevice) noexcept {
  std::lock_guard lock(mutex_);
  file_ = isNullDevice ? nullptr : file;
}

void DiagChannel::Line(std::string_view text) {
  if (!on()) return;
  std::lock_guard lock(mutex_);
  std::FILE* f = file_.load();
  if (!f) return;
  std::fprintf(f, " %.*s\n", static_cast<int>(text.size()), text.data());
}

// Lines with values are assembled by appending (text, then " value" per
// value); only reached when the channel is on.
void DiagChannel::Line(std::string_view text, double value) {
  if (!on()) return;
  std::string line(text);
  line.append(" ").append(FormatReal(value));
  Raw(line);
}

void DiagChannel::Line(std::string_view text, long long value) {
  if (!on()) return;
  std::string line(text);
  line.append(" ").append(std::to_string(value));
  Raw(line);
}

void DiagChannel::Line(std::string_view text, std::span<const double> values) {
  if (!on()) return;
  std::string line(text);
  for (double v : values) line.append(" ").append(FormatReal(v));
  Raw(line);
}

void DiagChannel::Line(std::string_view text, std::span<const int> values) {
  if (!on()) return;
  std::string line(text);
  for (int v : values) line.append(" ").append(std::to_string(v));
  Raw(line);
}

void DiagChannel::Error(std::string_view text) {
  if (!on()) return;
  std::string line("[ERROR] ");
  line.append(text);
  Raw(line);
}

void DiagChannel::Error(std::string_view text, long long value) {
  if (!on()) return;
  std::string line("[ERROR] ");
  line.append(text).append(" ").append(std::to_string(value));
  Raw(line);
}

void DiagChannel::Raw(const std::string& line) {
  if (!on()) return;
  std::lock_guard lock(mutex_);
  std::FILE* f = file_.load();
  if (!f) return;
  std::fprintf(f, " %s\n", line.c_str());
}

void DiagChannel::Append(std::string_view lines) {
  if (!on() || lines.empty()) return;
  std::lock_guard lock(mutex_);
  std::FILE* f = file_.load();
  if (!f) return;
  std::fwrite(lines.data(), 1, lines.size(), f);
}

void DiagChannel::Flush() {
  std::lock_guard lock(mutex_);
  if (std::FILE* f = file_.load()) std::fflush(f);
}

}  // namespace soilcal::services
